#pragma once
// The datagram socket served by the Qt event loop of the thread that creates it: its
// "datagram waiting" event (OnReceive) is raised there, once per waiting datagram, as
// the window's handlers expect.

#include "platform/DatagramSocket.h"

#include <memory>

class QObject;

class CAsyncSocket : public CDatagramSocket {
public:
    CAsyncSocket();
    ~CAsyncSocket() override;

private:
    std::unique_ptr<QObject> m_pNotifier;
};
