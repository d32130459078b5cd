#pragma once
// The datagram socket served by the Qt event loop of the thread that creates it: its
// receive handler is called there, once per waiting datagram, as the window's search
// expects.

#include "platform/DatagramSocket.h"

#include <memory>

class QObject;

class CAsyncSocket final : public CDatagramSocket {
public:
    CAsyncSocket();
    ~CAsyncSocket() override;

private:
    std::unique_ptr<QObject> m_pNotifier;
};
