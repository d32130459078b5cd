#include "platform/DebugOutput.h"

#include "platform/ShownText.h"

#include <cstdio>

namespace {

DebugSink g_sink;

} // namespace

void WriteDebugOutput(std::string_view text)
{
    if (g_sink) {
        g_sink(text);
        return;
    }
    // Debug lines carry cameras' answers: on a terminal they must not act on it.
    const std::string shown = ShownText(text, kTerminalTarget);
    std::fwrite(shown.data(), 1, shown.size(), stderr);
    std::fputc('\n', stderr);
}

DebugSink SetDebugSink(DebugSink sink)
{
    DebugSink previous = std::move(g_sink);
    g_sink = std::move(sink);
    return previous;
}
