#include "platform/DebugOutput.h"

#include <cstdio>

namespace {

DebugSink g_sink;

} // namespace

void OutputDebugStringA(std::string_view text)
{
    if (g_sink) {
        g_sink(text);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
}

DebugSink SetDebugSink(DebugSink sink)
{
    DebugSink previous = std::move(g_sink);
    g_sink = std::move(sink);
    return previous;
}
