#include "app/UDPSocket.h"

#include <QCoreApplication>

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

void CUDPSendSocket::SetNotifyWindow(QObject *window)
{
    m_hNotifyWnd = window;
}
