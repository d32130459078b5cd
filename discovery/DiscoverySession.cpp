#include "discovery/DiscoverySession.h"

#include "discovery/DatagramKind.h"
#include "discovery/RecordCamera.h"

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>

namespace {

class CSteadySweepClock final : public ISweepClock {
public:
    void Pause(std::chrono::milliseconds pause, CSweepStop &stop) override { stop.Pause(pause); }
};

// The socket's errno when it could not be opened, else 0.
int OpenFailure(CDatagramSocket &socket, bool opened)
{
    return opened ? 0 : socket.GetLastError();
}

} // namespace

void CSweepStop::Request()
{
    {
        std::lock_guard lock(m_lock);
        m_bRequested = true;
    }
    m_wake.notify_all();
}

void CSweepStop::Reset()
{
    m_bRequested = false;
}

void CSweepStop::Pause(std::chrono::milliseconds pause)
{
    std::unique_lock lock(m_lock);
    m_wake.wait_for(lock, pause, [this] { return m_bRequested.load(); });
}

ISweepClock &SteadySweepClock()
{
    static CSteadySweepClock clock;
    return clock;
}

DISCOVERY_DATA MakeCommand(std::int32_t type, const DISCOVERY_DATA &stored, const CommandLogin &login)
{
    DISCOVERY_DATA command = stored;
    command.nType = type;
    FillCredentialBlock(command, login.userId, login.password);
    return command;
}

std::string TextAsItIs(std::string_view text)
{
    return std::string(text);
}

std::string ConfirmationText(std::int32_t type, const std::vector<Camera> &cameras, TextForUser shown)
{
    std::string text = type == DISCOVERY_REBOOT ? "Check the IP and MAC on \"Reboot\"\n\n"
                                                : "Check the IP and MAC on \"Factory Reset\"\n\n";
    for (const Camera &camera : cameras)
        text += "IP : " + shown(camera.ip) + " / MAC : " + shown(camera.mac) + "\n";
    return text;
}

DISCOVERY_DATA MakeSetConfigCommand(const DISCOVERY_DATA &stored, const NetworkSettings &settings,
                                    const CommandLogin &login)
{
    DISCOVERY_DATA command = MakeCommand(DISCOVERY_SET_CONFIG, stored, login);
    command.nIPMode = settings.ipMode;
    WriteSlotText(command.szDNS, settings.dns, ADDRESS_MAX_CHARS);
    WriteSlotText(command.szGateway, settings.gateway, ADDRESS_MAX_CHARS);
    WriteSlotText(command.szSubnetMask, settings.subnetMask, ADDRESS_MAX_CHARS);
    WriteSlotText(command.szIP, settings.ip, ADDRESS_MAX_CHARS);
    command.wHttpPort = settings.httpPort;
    command.wDataPort = settings.dataPort;
    command.wRtspPort = settings.rtspPort;
    command.wAudioRecvPort = settings.audioRecvPort;
    command.wAudioSendPort = settings.audioSendPort;
    command.bHttps = settings.https;
    return command;
}

DISCOVERY_DATA MakeChangeCommand(const DISCOVERY_DATA &stored, const SettingsChange &change, const CommandLogin &login)
{
    DISCOVERY_DATA command = MakeCommand(DISCOVERY_SET_CONFIG, stored, login);
    const auto write = [](char(&slot)[32], const std::optional<std::string> &text) {
        if (text)
            WriteSlotText(slot, *text, ADDRESS_MAX_CHARS);
    };
    write(command.szIP, change.ip);
    write(command.szSubnetMask, change.subnetMask);
    write(command.szGateway, change.gateway);
    write(command.szDNS, change.dns);
    if (change.httpPort)
        command.wHttpPort = *change.httpPort;
    if (change.ipMode)
        command.nIPMode = *change.ipMode;
    return command;
}

CDiscoverySession::CDiscoverySession(IDeviceListing &listing, ISweepClock &clock)
    : m_listing(listing), m_clock(clock)
{
}

SocketFailures CDiscoverySession::Open(std::unique_ptr<CDatagramSocket> receiver)
{
    SocketFailures failures;
    m_pReceiveSocket = std::move(receiver);
    failures.receiveError = OpenFailure(*m_pReceiveSocket, m_pReceiveSocket->Create(DISCOVERY_RECV_PORT));
    if (failures.receiveError != 0)
        m_pReceiveSocket.reset();
    m_pSendSocket = std::make_unique<CDiscoverySendSocket>();
    failures.sendError = OpenFailure(*m_pSendSocket, m_pSendSocket->Create(DISCOVERY_SEND_PORT));
    if (failures.sendError != 0)
        m_pSendSocket.reset();
    return failures;
}

void CDiscoverySession::CloseReceiveSocket()
{
    if (m_pReceiveSocket)
        m_pReceiveSocket->Close();
}

int CDiscoverySession::OpenSendSocket(const std::string &adapterAddress)
{
    m_pSendSocket = std::make_unique<CDiscoverySendSocket>();
    const int error = OpenFailure(*m_pSendSocket, m_pSendSocket->Create(DISCOVERY_SEND_PORT, adapterAddress.c_str()));
    if (error != 0)
        m_pSendSocket.reset();
    return error;
}

void CDiscoverySession::CloseSendSocket()
{
    m_pSendSocket.reset();
}

void CDiscoverySession::Close()
{
    m_pReceiveSocket.reset();
    m_pSendSocket.reset();
}

void CDiscoverySession::BeginSweep()
{
    m_sweepStart = std::chrono::steady_clock::now();
    m_sweepEndNs = kSweepOpen;
    m_stop.Reset();
}

void CDiscoverySession::RunSweep(const std::function<void(int sent)> &progress)
{
    const DISCOVERY_DATA search = MakeSearchRecord();
    if (m_pSendSocket)
        m_pSendSocket->EnableBroadcast();
    for (int sent = 1; sent <= kSearchSends && !m_stop.Requested(); ++sent) {
        if (m_pSendSocket)
            m_pSendSocket->SendRecord(search);
        if (progress)
            progress(sent);
        m_clock.Pause(kSearchPause, m_stop);
    }
    EndSweep();
}

void CDiscoverySession::EndSweep()
{
    m_sweepEndNs = std::chrono::steady_clock::now().time_since_epoch().count();
}

// A reply counts by when it reached the socket: one handled only after the sweep's end
// still belongs to it, one from before the search began does not.
bool CDiscoverySession::ArrivedDuringSweep(std::chrono::steady_clock::time_point arrival) const
{
    const std::int64_t end = m_sweepEndNs;
    return arrival >= m_sweepStart && (end == kSweepOpen || arrival.time_since_epoch().count() <= end);
}

std::uint64_t CDiscoverySession::TakeDroppedReplies()
{
    return std::exchange(m_nDroppedReplies, 0);
}

HandledDatagram CDiscoverySession::HandleDatagram()
{
    HandledDatagram handled;
    if (!m_pReceiveSocket)
        return handled;
    char datagram[DISCOVERY_DATA_SIZE];
    std::string address;
    unsigned port = 0;
    const int received = m_pReceiveSocket->ReceiveFrom(datagram, int(sizeof datagram), address, port);
    if (received < 0 && m_pReceiveSocket->GetLastError() == EMSGSIZE)
        return handled; // longer than a record: no camera sent it, and one packet must not deafen us
    if (received < 0) {
        m_pReceiveSocket->Close();
        handled.kind = HandledDatagram::Kind::ReadFailed;
        return handled;
    }
    DISCOVERY_DATA record;
    switch (ClassifyDatagram(datagram, std::size_t(received), record)) {
    case DatagramKind::Reply:
        handled.kind = HandledDatagram::Kind::Reply;
        if (ArrivedDuringSweep(m_pReceiveSocket->LastArrival()) &&
            !m_listing.IsDeviceListed(kDiscoveryProtocol, RecordIdentity(record)))
            ListUnlessFull(m_listing, CameraFromRecord(record), m_nDroppedReplies);
        break;
    case DatagramKind::SetConfigResult:
        handled.kind = HandledDatagram::Kind::SetConfigResult;
        handled.mac = SlotText(record.szMAC);
        SettleSetConfigResult(record);
        break;
    default:
        break;
    }
    return handled;
}

void CDiscoverySession::SettleSetConfigResult(const DISCOVERY_DATA &result)
{
    const auto awaited = m_setConfigResults.find(SlotText(result.szMAC));
    if (awaited != m_setConfigResults.end() && !awaited->second)
        awaited->second = result.nResult;
}

bool CDiscoverySession::WaitForDatagram(std::chrono::milliseconds timeout)
{
    return m_pReceiveSocket && m_pReceiveSocket->WaitForDatagram(timeout);
}

bool CDiscoverySession::HandleDatagramsUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !WaitForDatagram(left))
            return done();
        HandleDatagram();
    }
    return true;
}

int CDiscoverySession::CommandSendError(const DISCOVERY_DATA &command)
{
    if (!CanSend())
        return EBADF;
    m_pSendSocket->EnableBroadcast();
    const int sent = m_pSendSocket->SendRecord(command);
    if (sent < 0)
        return m_pSendSocket->GetLastError();
    return sent == int(sizeof command) ? 0 : EMSGSIZE;
}

bool CDiscoverySession::SendCommand(const DISCOVERY_DATA &command)
{
    return CommandSendError(command) == 0;
}

std::vector<UnsentCommand> CDiscoverySession::SendToEach(std::int32_t type, const std::vector<Camera> &targets,
                                                         const CommandLogin &login)
{
    std::vector<UnsentCommand> unsent;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const DISCOVERY_DATA *stored = RecordOf(targets[i]);
        if (const int error = stored ? CommandSendError(MakeCommand(type, *stored, login)) : EPROTONOSUPPORT)
            unsent.push_back({i, error});
        std::this_thread::sleep_for(kCommandSpacing);
    }
    return unsent;
}

bool CDiscoverySession::SendSetConfig(const DISCOVERY_DATA &command)
{
    if (!SendCommand(command))
        return false;
    m_setConfigResults[SlotText(command.szMAC)].reset();
    return true;
}

std::optional<Camera> CDiscoverySession::SendSettings(const Camera &camera, const NetworkSettings &settings,
                                                      const CommandLogin &login)
{
    const DISCOVERY_DATA *stored = RecordOf(camera);
    if (!stored)
        return std::nullopt;
    const DISCOVERY_DATA command = MakeSetConfigCommand(*stored, settings, login);
    SendSetConfig(command);
    return CameraFromRecord(command);
}

std::size_t CDiscoverySession::AwaitedSetConfigResults() const
{
    return std::size_t(std::count_if(m_setConfigResults.begin(), m_setConfigResults.end(),
                                     [](const auto &entry) { return !entry.second; }));
}

std::optional<std::int32_t> CDiscoverySession::TakeSetConfigResult(const std::string &mac)
{
    const auto it = m_setConfigResults.find(mac);
    if (it == m_setConfigResults.end() || !it->second)
        return std::nullopt;
    const std::optional<std::int32_t> result = it->second;
    m_setConfigResults.erase(it);
    return result;
}
