#include "platform/AsyncSocket.h"

#include <QSocketNotifier>

// Deliveries are signalled through a descriptor that the event loop polls beside the
// window system's: a backlog then takes turns with input and painting, where a chain
// of posted events would keep them waiting.
CAsyncSocket::CAsyncSocket() : m_pNotifier(std::make_unique<QSocketNotifier>(NotifyHandle(), QSocketNotifier::Read))
{
    QObject::connect(m_pNotifier.get(), &QSocketNotifier::activated, m_pNotifier.get(), [this] { DeliverWaiting(); });
}

// The notifier goes before the base class closes the descriptor it watches.
CAsyncSocket::~CAsyncSocket() = default;
