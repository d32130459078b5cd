#pragma once
// A request that makes the user wait (a camera's web page, up to 40 s) runs through
// one runner. Without a window it simply runs; the window installs a runner that keeps
// it painted and shows the busy cursor while the caller still waits for the result.

#include <functional>

using BlockingRunner = std::function<void(const std::function<void()> &work)>;

// Runs work to its end before returning.
void RunBlocking(const std::function<void()> &work);

// Replaces the runner; returns the previous one. An empty runner runs work directly.
BlockingRunner SetBlockingRunner(BlockingRunner runner);
