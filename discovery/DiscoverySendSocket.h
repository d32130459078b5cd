#pragma once
// The request side of discovery: every request leaves through port 40013 as a
// broadcast. The socket never reads, so it shares the port with any other copy's send
// socket: a second copy then fails only on the receive port, with the one message that
// explains it. Free of any event loop.

#include "discovery/DiscoveryData.h"
#include "platform/DatagramSocket.h"

class CDiscoverySendSocket final : public CDatagramSocket {
public:
    CDiscoverySendSocket()
    {
        m_bShareAddress = true;
        m_bSendOnly = true;
    }
    ~CDiscoverySendSocket() override { Close(); }

    // Sends the whole record to 255.255.255.255, port 40013; the result is the send's.
    int SendRecord(const DISCOVERY_DATA &record)
    {
        return SendTo(&record, int(sizeof record), DISCOVERY_SEND_PORT, DISCOVERY_BROADCAST_ADDRESS);
    }
};
