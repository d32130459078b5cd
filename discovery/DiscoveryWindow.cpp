// The main window's discovery operations: sockets, the search sweep and the replies.
#include "app/Dialogs.h"
#include "app/LanscoutDlg.h"
#include "discovery/Discovery.h"
#include "discovery/ReplyDispatch.h"
#include "discovery/UDPSocket.h"
#include "platform/Adapters.h"
#include "platform/DebugOutput.h"
#include "platform/MessageBox.h"

#include <QComboBox>
#include <QTableWidget>
#include <QCoreApplication>
#include <QThread>

#include <cerrno>
#include <cstdio>

std::atomic<bool> g_bSearching{false};
std::string g_strPendingMAC;

namespace {

constexpr int kSearchSends = 5;
// A flood of forged replies must not exhaust memory: later replies of a sweep are dropped.
constexpr std::uint32_t kMaxListedDevices = 65536;
constexpr std::chrono::milliseconds kSearchPause{1000};

// The controls a sweep locks, in the order it locks them.
constexpr int kSearchControls[] = {IDC_SEARCH, IDC_DEVICE_LIST, IDC_SAVE, IDC_REBOOT, IDC_FACTORY_RESET,
                                   IDC_SAVE_TO_VMS, IDC_IP, IDC_SUBNET_MASK, IDC_GATEWAY, IDC_DNS,
                                   IDC_STATIC, IDC_HTTP_PORT, IDC_USER_ID, IDC_PASSWORD, IDC_ADAPTER,
                                   IDC_CHANGE_PASSWORD};

} // namespace

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

void CLanscoutDlg::OnSearch()
{
    if (g_bSearching.exchange(true))
        return; // a running sweep keeps its list, socket and wait box
    ReportDroppedReplies(); // the last sweep's, backlog included
    m_sweepStart = std::chrono::steady_clock::now();
    m_sweepEndNs = kSweepOpen;
    ClearDetails();
    m_nSelectedIndex = -1;
    m_devices.RemoveAll();
    m_listedDevices.Clear();
    m_listDevices->setRowCount(0);
    if (m_searchThread.joinable())
        m_searchThread.join(); // the last sweep has already cleared the flag: it is ending

    m_pSendSocket.reset();
    m_pSendSocket = std::make_unique<CUDPSendSocket>();
    m_pSendSocket->SetNotifyWindow(this);
    const QVariant item = m_comboAdapter->currentData();
    const auto *adapter = item.isValid() ? reinterpret_cast<const AdapterEntry *>(item.value<quintptr>()) : nullptr;
    if (adapter && !adapter->address.empty() && !m_pSendSocket->Create(DISCOVERY_SEND_PORT, adapter->address.c_str())) {
        m_pSendSocket.reset();
        g_bSearching = false;
        return;
    }
    // Without an adapter the sweep still runs its course; its sends go nowhere.
    m_bStopSweep = false;
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
    const DISCOVERY_DATA search = MakeSearchRecord();
    CUDPSendSocket *socket = m_pSendSocket.get();
    if (socket)
        socket->EnableBroadcast();
    for (int i = 0; i < kSearchSends && !m_bStopSweep; ++i) {
        if (socket)
            socket->SendRecord(search);
        SweepPause(kSearchPause);
    }
    m_sweepEndNs = std::chrono::steady_clock::now().time_since_epoch().count();
    CallOnWindowThread([this] { m_pWaitDlg->close(); });
    CallOnWindowThread([this] { EnableSearchControls(true); });
    g_bSearching = false;
    m_bSweepRunning = false;
}

void CLanscoutDlg::CallOnWindowThread(const std::function<void()> &fn)
{
    if (!m_bStopSweep)
        QMetaObject::invokeMethod(this, fn, Qt::BlockingQueuedConnection);
}

void CLanscoutDlg::SweepPause(std::chrono::milliseconds pause)
{
    std::unique_lock lock(m_sweepLock);
    m_sweepWake.wait_for(lock, pause, [this] { return m_bStopSweep.load(); });
}

// Closing the window during a sweep ends the worker early; the window thread keeps
// serving the worker's calls until it has finished, so neither waits on the other.
void CLanscoutDlg::StopSweep()
{
    if (!m_searchThread.joinable())
        return;
    {
        std::lock_guard lock(m_sweepLock);
        m_bStopSweep = true;
    }
    m_sweepWake.notify_all();
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
    char datagram[DISCOVERY_DATA_SIZE];
    std::string address;
    unsigned port = 0;
    const int received = m_pRecvSocket->ReceiveFrom(datagram, int(sizeof datagram), address, port);
    if (received < 0 && m_pRecvSocket->GetLastError() == EMSGSIZE)
        return 0; // longer than a record: no camera sent it, and one packet must not deafen us
    if (received < 0) {
        m_pRecvSocket->Close();
        ShowMessage("recevie error!!! [Clsoe Socket]");
        return 0;
    }
    DISCOVERY_DATA record = ZeroRecord();
    switch (ClassifyDatagram(datagram, std::size_t(received), record)) {
    case DatagramKind::Reply:
        if (ArrivedDuringSweep(m_pRecvSocket->LastArrival()) && !IsDeviceListed(record))
            ListDevice(record);
        break;
    case DatagramKind::SetConfigResult: {
        const bool awaited = SlotText(record.szMAC) == g_strPendingMAC;
        g_strPendingMAC.clear();
        if (const char *message = ResultMessage(record.nResult); awaited && message)
            ShowMessage(message);
        break;
    }
    default:
        break;
    }
    return 0;
}

// A reply counts by when it reached the socket: one the window could handle only after
// the sweep's end still belongs to it, one from before the search began does not.
bool CLanscoutDlg::ArrivedDuringSweep(std::chrono::steady_clock::time_point arrival) const
{
    const std::int64_t end = m_sweepEndNs;
    return arrival >= m_sweepStart && (end == kSweepOpen || arrival.time_since_epoch().count() <= end);
}

void CLanscoutDlg::ListDevice(const DISCOVERY_DATA &record)
{
    if (std::uint32_t(RowCount()) >= kMaxListedDevices) { // row i shows record i
        ++m_nDroppedReplies;
        return;
    }
    m_devices.AddTail(record);
    AddDeviceRow(record);
}

// Once a sweep's replies are all handled, which may be after its end: at the next
// search, or when the window closes.
void CLanscoutDlg::ReportDroppedReplies()
{
    if (m_nDroppedReplies > 0)
        OutputDebugStringA(std::to_string(m_nDroppedReplies) + " replies dropped: the device list holds at most " +
                           std::to_string(kMaxListedDevices) + " devices");
    m_nDroppedReplies = 0;
}
