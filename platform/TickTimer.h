#pragma once
// The clock ticks of work that waits on its own deadlines (a batch of commands), from
// whatever loop the program runs: the window's event loop (EventLoopTimer.h), or a
// loop of the caller's own.

#include <chrono>
#include <functional>

class ITickTimer {
public:
    // Calls fn once after the delay, on the thread that handles the datagrams.
    virtual void CallAfter(std::chrono::milliseconds after, std::function<void()> fn) = 0;

protected:
    ~ITickTimer() = default;
};
