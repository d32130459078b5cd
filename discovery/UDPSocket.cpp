#include "discovery/UDPSocket.h"

#include <QCoreApplication>

#include <sys/socket.h>

CUDPSocket::~CUDPSocket()
{
    Close();
}

void CUDPSocket::SetNotifyWindow(QObject *window)
{
    m_hNotifyWnd = window;
}

void CUDPSocket::OnReceive(int errorCode)
{
    if (m_hNotifyWnd) {
        QEvent event(WM_UDP_RECEIVE);
        QCoreApplication::sendEvent(m_hNotifyWnd, &event);
    }
    CAsyncSocket::OnReceive(errorCode);
}

CUDPSendSocket::CUDPSendSocket()
{
    m_bShareAddress = true;
    m_bSendOnly = true;
}

CUDPSendSocket::~CUDPSendSocket()
{
    Close();
}

void CUDPSendSocket::SetNotifyWindow(QObject *window)
{
    m_hNotifyWnd = window;
}

void CUDPSendSocket::EnableBroadcast()
{
    const int on = 1;
    SetSockOpt(SO_BROADCAST, &on, sizeof on, SOL_SOCKET);
}

int CUDPSendSocket::SendRecord(const DISCOVERY_DATA &record)
{
    return SendTo(&record, int(sizeof record), DISCOVERY_SEND_PORT, DISCOVERY_BROADCAST_ADDRESS);
}
