#include "platform/AsyncSocket.h"

#include "platform/AsyncSocketNotifier.h"

#include <QObject>

// Deliveries are signalled through a handle that the event loop watches beside the
// window system's: a backlog then takes turns with input and painting, where a chain
// of posted events would keep them waiting.
CAsyncSocket::CAsyncSocket() : m_pNotifier(WatchNotifyHandle(NotifyHandle(), [this] { DeliverWaiting(); })) {}

// The watch goes before the base class closes the handle it watches.
CAsyncSocket::~CAsyncSocket() = default;
