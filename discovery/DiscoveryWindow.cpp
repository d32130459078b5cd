// The main window's discovery operations.
#include "app/LanscoutDlg.h"
#include "discovery/Discovery.h"
#include "discovery/UDPSocket.h"
#include "platform/MessageBox.h"

std::atomic<bool> g_bSearching{false};
std::string g_strPendingMAC;

void CLanscoutDlg::CreateSockets()
{
    m_pRecvSocket.reset();
    m_pRecvSocket = std::make_unique<CUDPSocket>();
    m_pRecvSocket->SetNotifyWindow(this);
    bool failed = false;
    if (!m_pRecvSocket->Create(DISCOVERY_RECV_PORT)) {
        ShowMessage("Failed to create socket, please check if the utility already running.");
        m_pRecvSocket.reset();
        failed = true;
    }
    m_pSendSocket = std::make_unique<CUDPSendSocket>();
    m_pSendSocket->SetNotifyWindow(this);
    if (!m_pSendSocket->Create(DISCOVERY_SEND_PORT)) {
        ShowMessage("Failed to create send socket.");
        m_pSendSocket.reset();
        failed = true;
    }
    if (failed) {
        EndDialog(IDCANCEL);
        return;
    }
    g_bSearching = false;
    g_strPendingMAC.clear();
    g_strSelectedMAC.clear();
}
