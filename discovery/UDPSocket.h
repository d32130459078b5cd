#pragma once
// The two discovery sockets: replies arrive on the receive socket (port 40014), every
// request leaves through the send socket (port 40013) as a broadcast.

#include "discovery/DiscoveryData.h"
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

// Never reads, so it shares port 40013 with any other copy's send socket: a second
// copy then fails only on the receive port, with the one message that explains it.
class CUDPSendSocket final : public CAsyncSocket {
public:
    CUDPSendSocket();
    ~CUDPSendSocket() override;
    void SetNotifyWindow(QObject *window);

    // Allows sends to the broadcast address.
    void EnableBroadcast();
    // Sends the whole record to 255.255.255.255, port 40013; the result is the send's.
    int SendRecord(const DISCOVERY_DATA &record);

private:
    QPointer<QObject> m_hNotifyWnd;
};
