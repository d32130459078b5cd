#pragma once
// The diagnostic channel: lines for a developer, never for the user. Standard error by
// default; tests replace the sink to read what was written.

#include <functional>
#include <string_view>

using DebugSink = std::function<void(std::string_view)>;

void WriteDebugOutput(std::string_view text);

// Replaces the sink; returns the previous one. An empty sink restores standard error.
DebugSink SetDebugSink(DebugSink sink);
