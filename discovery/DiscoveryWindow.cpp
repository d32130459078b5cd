// The main window's discovery operations: sockets, the search sweep and the replies,
// carried out by the window's discovery session.
#include "app/Dialogs.h"
#include "app/LanscoutDlg.h"
#include "discovery/Discovery.h"
#include "discovery/UDPSocket.h"
#include "platform/Adapters.h"
#include "platform/DebugOutput.h"
#include "platform/MessageBox.h"

#include <QComboBox>
#include <QTableWidget>
#include <QCoreApplication>
#include <QThread>

std::atomic<bool> g_bSearching{false};
std::string g_strPendingMAC;

namespace {

// The controls a sweep locks, in the order it locks them.
constexpr int kSearchControls[] = {IDC_SEARCH, IDC_DEVICE_LIST, IDC_SAVE, IDC_REBOOT, IDC_FACTORY_RESET,
                                   IDC_SAVE_TO_VMS, IDC_IP, IDC_SUBNET_MASK, IDC_GATEWAY, IDC_DNS,
                                   IDC_STATIC, IDC_HTTP_PORT, IDC_USER_ID, IDC_PASSWORD, IDC_ADAPTER,
                                   IDC_CHANGE_PASSWORD};

} // namespace

void CLanscoutDlg::CreateSockets()
{
    auto receiver = std::make_unique<CUDPSocket>();
    receiver->SetNotifyWindow(this);
    const SocketFailures failures = m_session.Open(std::move(receiver));
    if (failures.receiveError != 0)
        ShowMessage("Failed to create socket, please check if the utility already running.");
    if (failures.sendError != 0)
        ShowMessage("Failed to create send socket.");
    if (failures.Any()) {
        EndDialog(IDCANCEL);
        return;
    }
    g_bSearching = false;
    g_strPendingMAC.clear();
    g_strSelectedMAC.clear();
}

void CLanscoutDlg::OnSearch()
{
    if (g_bSearching.exchange(true))
        return; // a running sweep keeps its list, socket and wait box
    ReportDroppedReplies(); // the last sweep's, backlog included
    m_session.BeginSweep();
    ClearDetails();
    m_nSelectedIndex = -1;
    m_devices.RemoveAll();
    m_listedDevices.Clear();
    m_listDevices->setRowCount(0);
    if (m_searchThread.joinable())
        m_searchThread.join(); // the last sweep has already cleared the flag: it is ending

    m_session.CloseSendSocket();
    const QVariant item = m_comboAdapter->currentData();
    const auto *adapter = item.isValid() ? reinterpret_cast<const AdapterEntry *>(item.value<quintptr>()) : nullptr;
    if (adapter && !adapter->address.empty() && !m_session.OpenSendSocket(adapter->address)) {
        m_session.EndSweep(); // no sweep runs, so no reply belongs to one
        g_bSearching = false;
        return;
    }
    // Without an adapter the sweep still runs its course; its sends go nowhere.
    m_bSweepRunning = true;
    m_searchThread = std::thread(&CLanscoutDlg::SearchThreadProc, this);
}

int CLanscoutDlg::SearchThreadProc(CLanscoutDlg *window)
{
    if (window)
        window->RunSearchSweep();
    return 0;
}

void CLanscoutDlg::RunSearchSweep()
{
    CallOnWindowThread([this] { m_pWaitDlg->CentreAndShow(); });
    CallOnWindowThread([this] { EnableSearchControls(false); });
    m_session.RunSweep();
    CallOnWindowThread([this] { m_pWaitDlg->close(); });
    CallOnWindowThread([this] { EnableSearchControls(true); });
    g_bSearching = false;
    m_bSweepRunning = false;
}

void CLanscoutDlg::CallOnWindowThread(const std::function<void()> &fn)
{
    if (!m_session.IsSweepStopped())
        QMetaObject::invokeMethod(this, fn, Qt::BlockingQueuedConnection);
}

// Closing the window during a sweep ends the worker early; the window thread keeps
// serving the worker's calls until it has finished, so neither waits on the other.
void CLanscoutDlg::StopSweep()
{
    if (!m_searchThread.joinable())
        return;
    m_session.StopSweep();
    while (m_bSweepRunning) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    m_searchThread.join();
}

void CLanscoutDlg::EnableSearchControls(bool enable)
{
    for (int id : kSearchControls)
        Control(id)->setEnabled(enable);
}

int CLanscoutDlg::OnUdpReceive()
{
    const HandledDatagram handled = m_session.HandleDatagram();
    switch (handled.kind) {
    case HandledDatagram::Kind::ReadFailed:
        ShowMessage("recevie error!!! [Clsoe Socket]");
        break;
    case HandledDatagram::Kind::SetConfigResult: {
        // The window awaits one result at a time: the first to come ends the wait.
        const bool awaited = SlotText(handled.record.szMAC) == g_strPendingMAC;
        g_strPendingMAC.clear();
        if (const char *message = ResultMessage(handled.record.nResult); awaited && message)
            ShowMessage(message);
        break;
    }
    default:
        break;
    }
    return 0;
}

std::size_t CLanscoutDlg::ListedDeviceCount() const
{
    return std::size_t(RowCount()); // row i shows record i
}

void CLanscoutDlg::ListDevice(const DISCOVERY_DATA &record)
{
    m_devices.AddTail(record);
    AddDeviceRow(record);
}

// Once a sweep's replies are all handled, which may be after its end: at the next
// search, or when the window closes.
void CLanscoutDlg::ReportDroppedReplies()
{
    if (const std::uint64_t dropped = m_session.TakeDroppedReplies(); dropped > 0)
        OutputDebugStringA(std::to_string(dropped) + " replies dropped: the device list holds at most " +
                           std::to_string(CDiscoverySession::kMaxListedDevices) + " devices");
}
