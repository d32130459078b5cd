#pragma once
// The two discovery sockets as the window sees them: replies arrive on the receive
// socket (port 40014) as WM_UDP_RECEIVE events, every request leaves through the send
// socket (port 40013) as a broadcast.

#include "discovery/DiscoverySendSocket.h"
#include "platform/AsyncSocket.h"

#include <QEvent>
#include <QPointer>

class QObject;

// Sent synchronously to the notify window for each waiting datagram.
inline const QEvent::Type WM_UDP_RECEIVE = QEvent::Type(QEvent::User + 1);

class CUDPSocket final : public CAsyncSocket {
public:
    ~CUDPSocket() override;
    void SetNotifyWindow(QObject *window);

protected:
    void OnReceive(int errorCode) override;

private:
    QPointer<QObject> m_hNotifyWnd;
};

class CUDPSendSocket final : public TDiscoverySendSocket<CAsyncSocket> {
public:
    void SetNotifyWindow(QObject *window);

private:
    QPointer<QObject> m_hNotifyWnd;
};
