#pragma once
// The window's runner for blocking requests (BlockingCall.h): the request runs on a
// helper thread while the window thread shows the busy cursor and keeps the windows
// painted and answering the desktop. Input, closing and socket events wait until the
// request has returned, so the caller sees the same order of events as a plain call.

#include <functional>

void BusyWait(const std::function<void()> &work);
