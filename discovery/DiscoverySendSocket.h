#pragma once
// The request side of discovery: every request leaves through port 40013 as a
// broadcast. The socket never reads, so it shares the port with any other copy's send
// socket: a second copy then fails only on the receive port, with the one message that
// explains it. Built on either socket kind; the session's is free of any event loop.

#include "discovery/DiscoveryData.h"
#include "platform/DatagramSocket.h"

template <typename Socket>
class TDiscoverySendSocket : public Socket {
public:
    TDiscoverySendSocket()
    {
        this->m_bShareAddress = true;
        this->m_bSendOnly = true;
    }
    ~TDiscoverySendSocket() override { this->Close(); }

    // Sends the whole record to 255.255.255.255, port 40013; the result is the send's.
    int SendRecord(const DISCOVERY_DATA &record)
    {
        return this->SendTo(&record, int(sizeof record), DISCOVERY_SEND_PORT, DISCOVERY_BROADCAST_ADDRESS);
    }
};

using CDiscoverySendSocket = TDiscoverySendSocket<CDatagramSocket>;
