#include "platform/BlockingCall.h"

namespace {

BlockingRunner g_runner;

} // namespace

void RunBlocking(const std::function<void()> &work)
{
    if (g_runner)
        g_runner(work);
    else
        work();
}

BlockingRunner SetBlockingRunner(BlockingRunner runner)
{
    BlockingRunner previous = std::move(g_runner);
    g_runner = std::move(runner);
    return previous;
}
