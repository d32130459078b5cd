#pragma once
// Watches a datagram socket's NotifyHandle from the Qt event loop of the thread that
// creates the watch. One file per platform: a descriptor on Linux
// (AsyncSocketNotifierLinux.cpp), an event object on Windows (AsyncSocketNotifierWindows.cpp).

#include "platform/DatagramSocket.h"

#include <functional>
#include <memory>

class QObject;

// Calls onSignal on this thread whenever the handle is signalled, until the returned
// watch is destroyed. onSignal must clear the signal, or it is called again.
std::unique_ptr<QObject> WatchNotifyHandle(CDatagramSocket::NativeHandle handle, std::function<void()> onSignal);
