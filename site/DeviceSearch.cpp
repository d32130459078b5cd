#include "site/DeviceSearch.h"

#include "platform/DebugOutput.h"

CDeviceSearch::CDeviceSearch(IDeviceListing &listing, ISearchDisplay &display, IUserInteraction &user,
                             ISweepClock &clock)
    : m_listing(listing), m_display(display), m_user(user), m_session(listing, clock)
{
}

CDeviceSearch::~CDeviceSearch()
{
    Close();
}

bool CDeviceSearch::Open(std::unique_ptr<CDatagramSocket> receiver)
{
    receiver->SetReceiveHandler([this] { HandleDatagram(); });
    const SocketFailures failures = m_session.Open(std::move(receiver));
    if (failures.receiveError != 0)
        m_user.ShowMessage("Failed to create socket, please check if the utility already running.");
    if (failures.sendError != 0)
        m_user.ShowMessage("Failed to create send socket.");
    return !failures.Any();
}

bool CDeviceSearch::Search()
{
    if (!BeginSearch())
        return false;
    m_listing.Clear();
    m_display.ListEmptiedForSearch();
    // Without an adapter the sweep still runs its course; its sends go nowhere.
    RunSweepThrough(m_adapterAddress);
    return true;
}

bool CDeviceSearch::BeginSearch()
{
    if (m_searching.exchange(true))
        return false;
    if (m_worker.joinable())
        m_worker.join(); // the last sweep has already cleared the flag: it is ending
    ReportDroppedReplies(); // the last sweep's, backlog included
    m_nProviderDropped = 0;
    m_session.BeginSweep();
    return true;
}

void CDeviceSearch::RunSweepThrough(const std::string &adapterAddress)
{
    m_session.CloseSendSocket();
    if (!adapterAddress.empty() && m_session.OpenSendSocket(adapterAddress) != 0) {
        m_session.EndSweep(); // no sweep runs, so no reply belongs to one
        m_searching = false;
        return;
    }
    m_worker = std::thread(&CDeviceSearch::RunSweep, this, adapterAddress);
}

void CDeviceSearch::RunSweep(const std::string &adapterAddress)
{
    CallOnDisplayThread([this] { m_display.ShowSearchWait(true); });
    CallOnDisplayThread([this] { m_display.EnableSearchControls(false); });
    std::thread others(&CDeviceSearch::RunProviderSweeps, this, adapterAddress);
    m_session.RunSweep();
    others.join();
    CallOnDisplayThread([this] { m_display.ShowSearchWait(false); });
    CallOnDisplayThread([this] { m_display.EnableSearchControls(true); });
    m_searching = false;
}

void CDeviceSearch::RunProviderSweeps(const std::string &adapterAddress)
{
    std::vector<std::thread> sweeps;
    for (const std::unique_ptr<ICameraProvider> &provider : m_providers)
        sweeps.emplace_back([this, &provider, &adapterAddress] {
            provider->Sweep(
                adapterAddress,
                [this](const Camera &camera) { CallOnDisplayThread([this, &camera] { ListFound(camera); }); },
                [this] { return m_session.IsSweepStopped(); });
        });
    for (std::thread &sweep : sweeps)
        sweep.join();
}

// On the thread that owns the list, under the rules of the maker's replies.
void CDeviceSearch::ListFound(const Camera &camera)
{
    if (!m_listing.IsDeviceListed(camera.protocol, camera.identity))
        ListUnlessFull(m_listing, camera, m_nProviderDropped);
}

// A window that is closing no longer serves the worker.
void CDeviceSearch::CallOnDisplayThread(const std::function<void()> &fn)
{
    if (!m_session.IsSweepStopped())
        m_display.CallOnDisplayThread(fn);
}

// Closing the window during a sweep ends the worker early; the window thread keeps
// serving the worker's calls until it has finished, so neither waits on the other.
void CDeviceSearch::StopSweep()
{
    if (!m_worker.joinable())
        return;
    m_session.StopSweep();
    while (m_searching)
        m_display.ServeDisplayThread();
    m_worker.join();
}

void CDeviceSearch::HandleDatagram()
{
    const HandledDatagram handled = m_session.HandleDatagram();
    if (handled.kind == HandledDatagram::Kind::ReadFailed) {
        m_user.ShowMessage("recevie error!!! [Clsoe Socket]");
        return;
    }
    if (handled.kind != HandledDatagram::Kind::SetConfigResult)
        return;
    const std::string &mac = handled.mac;
    if (m_pResultTaker && m_pResultTaker->TakeSetConfigResult(mac))
        return;
    if (const std::optional<std::int32_t> result = m_session.TakeSetConfigResult(mac))
        if (const char *message = ResultMessage(*result))
            m_user.ShowMessage(message);
}

void CDeviceSearch::HandleWaitingDatagrams()
{
    while (m_session.WaitForDatagram(std::chrono::milliseconds(0)))
        HandleDatagram();
}

std::optional<Camera> CDeviceSearch::SendSettings(const Camera &camera, const NetworkSettings &settings,
                                                  const CommandLogin &login)
{
    return m_session.SendSettings(camera, settings, login);
}

std::unique_ptr<CSettingsSender> CDeviceSearch::SendChanges(std::vector<SettingsOrder> orders, std::size_t concurrency,
                                                            std::chrono::milliseconds timeout)
{
    return std::make_unique<CSettingsSender>(m_session, std::move(orders), concurrency, timeout);
}

void CDeviceSearch::SendToEach(std::int32_t type, const std::vector<Camera> &targets,
                               const CommandLogin &login)
{
    m_session.SendToEach(type, targets, login);
}

void CDeviceSearch::Close()
{
    // The receive socket first: nothing may arrive while the search worker winds down.
    m_session.CloseReceiveSocket();
    StopSweep();
    ReportDroppedReplies();
    m_session.Close();
}

// Once a sweep's replies are all handled, which may be after its end: at the next
// search, or when the window closes.
void CDeviceSearch::ReportDroppedReplies()
{
    if (const std::uint64_t dropped = m_session.TakeDroppedReplies(); dropped > 0)
        WriteDebugOutput(std::to_string(dropped) + " replies dropped: the device list holds at most " +
                           std::to_string(CDiscoverySession::kMaxListedDevices) + " devices");
}
