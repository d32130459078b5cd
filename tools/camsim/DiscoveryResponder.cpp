#include "tools/camsim/DiscoveryResponder.h"

#include "tools/camsim/Interface.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Large enough to learn the true length of any datagram (MSG_TRUNC reports it).
constexpr std::size_t kReceiveBuffer = 2048;
// A flood of requests must not hold back the answers already queued.
constexpr int kMaxReadsPerWake = 64;
// Room for a burst of a thousand cameras' replies.
constexpr int kSendBuffer = 4 * 1024 * 1024;
constexpr std::int32_t kUnknownType = 99;

std::string AddressText(const sockaddr_in &address)
{
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return text + std::string(":") + std::to_string(ntohs(address.sin_port));
}

// Answers go to the searcher's reply port, whatever port it sent from.
sockaddr_in ReplyAddress(const sockaddr_in &from)
{
    sockaddr_in to = from;
    to.sin_port = htons(DISCOVERY_RECV_PORT);
    return to;
}

// The earlier of two event times, where -1 stands for no event.
std::int64_t EarlierEvent(std::int64_t a, std::int64_t b)
{
    return a < 0 ? b : b < 0 ? a : std::min(a, b);
}

bool IsSilent(const SimCamera &camera, std::int64_t nowMs)
{
    return camera.silentUntilMs > nowMs;
}

DISCOVERY_DATA ReplyRecord(const SimCamera &camera)
{
    DISCOVERY_DATA r = ZeroRecord();
    r.nType = DISCOVERY_REPLY;
    const SimNetwork &s = camera.network;
    WriteSlotText(r.szMAC, camera.mac);
    WriteSlotText(r.szProductName, camera.model);
    WriteSlotText(r.szFirmwareVersion, camera.firmware);
    r.nIPMode = s.ipMode;
    WriteSlotText(r.szIP, s.ip);
    WriteSlotText(r.szSubnetMask, s.mask);
    WriteSlotText(r.szGateway, s.gateway);
    WriteSlotText(r.szDNS, s.dns);
    r.wHttpPort = s.httpPort;
    r.wDataPort = s.dataPort;
    r.wRtspPort = s.rtspPort;
    r.wAudioRecvPort = s.audioRecvPort;
    r.wAudioSendPort = s.audioSendPort;
    r.bHttps = s.https ? 1 : 0;
    return r;
}

SimNetwork SettingsOfCommand(const DISCOVERY_DATA &command)
{
    SimNetwork s;
    s.ipMode = command.nIPMode;
    s.ip = SlotText(command.szIP);
    s.mask = SlotText(command.szSubnetMask);
    s.gateway = SlotText(command.szGateway);
    s.dns = SlotText(command.szDNS);
    s.httpPort = command.wHttpPort;
    s.dataPort = command.wDataPort;
    s.rtspPort = command.wRtspPort;
    s.audioRecvPort = command.wAudioRecvPort;
    s.audioSendPort = command.wAudioSendPort;
    s.https = command.bHttps != 0;
    return s;
}

bool LoginMatches(const SimCamera &camera, const DISCOVERY_DATA &command)
{
    std::uint8_t expected[16];
    PasswordDigest(camera.login.password, expected);
    return SlotText(command.szUserID) == camera.login.user &&
           std::memcmp(command.abPasswordDigest, expected, sizeof expected) == 0;
}

const char *CommandName(std::int32_t type)
{
    switch (type) {
    case DISCOVERY_SET_CONFIG: return "set-config";
    case DISCOVERY_REBOOT: return "reboot";
    default: return "factory-reset";
    }
}

} // namespace

DiscoveryResponder::DiscoveryResponder(std::vector<SimCamera> &cameras, std::mutex &camerasMutex, const Options &options,
                                       Log &log)
    : m_cameras(cameras), m_camerasMutex(camerasMutex), m_options(options), m_log(log), m_random(options.seed)
{
}

DiscoveryResponder::~DiscoveryResponder()
{
    if (m_socket >= 0)
        ::close(m_socket);
}

bool DiscoveryResponder::Open()
{
    m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    // No SO_REUSEADDR: a second camsim in the same namespace must fail here rather
    // than double every camera's answers.
    const int on = 1;
    ::setsockopt(m_socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    ::setsockopt(m_socket, SOL_SOCKET, SO_SNDBUF, &kSendBuffer, sizeof kSendBuffer);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(DISCOVERY_SEND_PORT);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    if (m_socket < 0 || ::bind(m_socket, reinterpret_cast<sockaddr *>(&any), sizeof any) != 0) {
        m_log.Line("error bind 0.0.0.0:%u: %s", DISCOVERY_SEND_PORT, std::strerror(errno));
        return false;
    }
    return true;
}

void DiscoveryResponder::OnReadable()
{
    const std::lock_guard lock(m_camerasMutex);
    WakeCameras(MonotonicMs());
    char buffer[kReceiveBuffer];
    for (int reads = 0; reads < kMaxReadsPerWake; ++reads) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n =
            ::recvfrom(m_socket, buffer, sizeof buffer, MSG_TRUNC, reinterpret_cast<sockaddr *>(&from), &fromLength);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                m_log.Line("error receive: %s", std::strerror(errno));
            return;
        }
        const std::int64_t nowMs = MonotonicMs();
        if (std::size_t(n) != DISCOVERY_DATA_SIZE) {
            m_log.At(nowMs, "drop len=%zd from %s reason=not-a-record", n, AddressText(from).c_str());
            continue;
        }
        DISCOVERY_DATA record;
        std::memcpy(&record, buffer, sizeof record);
        HandleRecord(record, from, nowMs);
    }
}

int DiscoveryResponder::Tick(std::int64_t nowMs)
{
    std::int64_t next = -1;
    {
        const std::lock_guard lock(m_camerasMutex);
        WakeCameras(nowMs);
        next = NextWake();
    }
    SendDue(nowMs); // the queued datagrams are the main thread's alone
    for (const Outgoing &datagram : m_outgoing)
        next = EarlierEvent(next, datagram.dueMs);
    return next < 0 ? -1 : int(std::max<std::int64_t>(next - nowMs, 0));
}

std::int64_t DiscoveryResponder::NextWake() const
{
    std::int64_t next = -1;
    for (const SimCamera &camera : m_cameras)
        next = EarlierEvent(next, camera.silentUntilMs);
    return next;
}

void DiscoveryResponder::HandleRecord(const DISCOVERY_DATA &record, const sockaddr_in &from, std::int64_t nowMs)
{
    const std::string sender = AddressText(from);
    if (record.nType == DISCOVERY_SEARCH) {
        m_log.At(nowMs, "recv search from %s len=%zu", sender.c_str(), sizeof record);
        AnswerSearch(from, nowMs);
        return;
    }
    if (record.nType != DISCOVERY_SET_CONFIG && record.nType != DISCOVERY_REBOOT &&
        record.nType != DISCOVERY_FACTORY_RESET) {
        m_log.At(nowMs, "drop type=%d from %s reason=unknown-type", record.nType, sender.c_str());
        return;
    }
    const std::string mac = SlotText(record.szMAC);
    SimCamera *camera = FindCamera(m_cameras, mac);
    const char *whyNot = !camera ? "not-ours" : IsSilent(*camera, nowMs) ? "rebooting" : nullptr;
    if (whyNot) {
        m_log.At(nowMs, "ignore %s mac=%s from %s reason=%s", CommandName(record.nType), Printable(mac).c_str(),
                   sender.c_str(), whyNot);
        return;
    }
    switch (record.nType) {
    case DISCOVERY_SET_CONFIG: HandleSetConfig(*camera, record, from, nowMs); break;
    case DISCOVERY_REBOOT: HandleReboot(*camera, record, nowMs); break;
    default: HandleFactoryReset(*camera, record, nowMs); break;
    }
}

void DiscoveryResponder::AnswerSearch(const sockaddr_in &from, std::int64_t nowMs)
{
    const sockaddr_in to = ReplyAddress(from);
    const std::int64_t due = nowMs + m_options.lateMs;
    std::uniform_int_distribution<int> percent(0, 99);
    for (const SimCamera &camera : m_cameras) {
        if (IsSilent(camera, nowMs)) {
            m_log.At(nowMs, "skip reply mac=%s reason=rebooting", camera.mac.c_str());
            continue;
        }
        for (int i = 0; i < m_options.repeat; ++i) {
            if (percent(m_random) < m_options.dropPercent) {
                m_log.At(nowMs, "skip reply mac=%s reason=drop-percent", camera.mac.c_str());
                continue;
            }
            const DISCOVERY_DATA reply = ReplyRecord(camera);
            Queue(&reply, sizeof reply, camera.network.ip, to, due,
                  "reply mac=" + camera.mac + " ip=" + camera.network.ip);
        }
    }
    if (m_options.malformed)
        QueueMalformed(to, due);
}

// An empty, a short, an oversized and an unknown-type datagram, from the first camera.
void DiscoveryResponder::QueueMalformed(const sockaddr_in &to, std::int64_t dueMs)
{
    if (m_cameras.empty())
        return;
    const std::string &source = m_cameras.front().network.ip;
    const std::vector<char> filler(600, 'A');
    for (const std::size_t length : {std::size_t(0), std::size_t(100), filler.size()})
        Queue(filler.data(), length, source, to, dueMs, "malformed len=" + std::to_string(length));
    DISCOVERY_DATA unknown = ReplyRecord(m_cameras.front());
    unknown.nType = kUnknownType;
    Queue(&unknown, sizeof unknown, source, to, dueMs, "malformed type=" + std::to_string(kUnknownType));
}

void DiscoveryResponder::HandleSetConfig(SimCamera &camera, const DISCOVERY_DATA &command, const sockaddr_in &from,
                                         std::int64_t nowMs)
{
    const std::string answeringIp = camera.network.ip; // the result leaves from the address it was reached at
    const std::int32_t result = ApplySetConfig(camera, command);
    m_log.At(nowMs, "set-config mac=%s user=%s mode=%d ip=%s http=%u from %s result=%d", camera.mac.c_str(),
               Printable(SlotText(command.szUserID)).c_str(), command.nIPMode,
               Printable(SlotText(command.szIP)).c_str(), command.wHttpPort, AddressText(from).c_str(), result);
    DISCOVERY_DATA answer = ZeroRecord();
    answer.nType = DISCOVERY_SET_CONFIG;
    answer.nResult = result;
    WriteSlotText(answer.szMAC, camera.mac);
    Queue(&answer, sizeof answer, answeringIp, ReplyAddress(from), nowMs + m_options.resultDelayMs,
          "result mac=" + camera.mac + " result=" + std::to_string(result));
}

// The result code; the settings change only with result 0.
std::int32_t DiscoveryResponder::ApplySetConfig(SimCamera &camera, const DISCOVERY_DATA &command)
{
    if (!LoginMatches(camera, command))
        return RESULT_LOGIN_FAILED;
    const SimNetwork proposed = SettingsOfCommand(command);
    const std::int32_t verdict = CheckNetworkSettings(proposed, camera, m_cameras);
    if (verdict != 0)
        return verdict;
    if (camera.keepsSettings)
        return 0; // a camera that says yes and forgets: only a search afterwards tells
    std::string problem;
    if (proposed.ipMode == IP_MODE_STATIC && !m_options.interfaceName.empty() &&
        !EnsureAddresses(m_options.interfaceName, {proposed.ip}, m_options.prefixLength, problem)) {
        m_log.Line("error cannot take address %s: %s", proposed.ip.c_str(), problem.c_str());
        return RESULT_FAILED;
    }
    ApplyNetworkSettings(camera, proposed);
    return 0;
}

void DiscoveryResponder::HandleReboot(SimCamera &camera, const DISCOVERY_DATA &command, std::int64_t nowMs)
{
    if (!LoginMatches(camera, command)) {
        m_log.At(nowMs, "reboot mac=%s result=login-failed", camera.mac.c_str());
        return;
    }
    camera.silentUntilMs = nowMs + m_options.rebootMs;
    m_log.At(nowMs, "reboot mac=%s silent-ms=%d", camera.mac.c_str(), m_options.rebootMs);
}

void DiscoveryResponder::HandleFactoryReset(SimCamera &camera, const DISCOVERY_DATA &command, std::int64_t nowMs)
{
    if (!LoginMatches(camera, command)) {
        m_log.At(nowMs, "factory-reset mac=%s result=login-failed", camera.mac.c_str());
        return;
    }
    RestoreFactorySettings(camera);
    camera.silentUntilMs = nowMs + m_options.rebootMs;
    m_log.At(nowMs, "factory-reset mac=%s ip=%s silent-ms=%d", camera.mac.c_str(), camera.network.ip.c_str(),
               m_options.rebootMs);
}

void DiscoveryResponder::WakeCameras(std::int64_t nowMs)
{
    for (SimCamera &camera : m_cameras) {
        if (camera.silentUntilMs < 0 || IsSilent(camera, nowMs))
            continue;
        camera.silentUntilMs = -1;
        m_log.At(nowMs, "back mac=%s", camera.mac.c_str());
    }
}

void DiscoveryResponder::Queue(const void *data, std::size_t length, const std::string &sourceIp,
                               const sockaddr_in &to, std::int64_t dueMs, std::string what)
{
    const char *bytes = static_cast<const char *>(data);
    m_outgoing.push_back({dueMs, std::vector<char>(bytes, bytes + length), sourceIp, to, std::move(what)});
}

void DiscoveryResponder::SendDue(std::int64_t nowMs)
{
    const auto isDue = [nowMs](const Outgoing &datagram) { return datagram.dueMs <= nowMs; };
    for (const Outgoing &datagram : m_outgoing)
        if (isDue(datagram))
            SendFrom(datagram);
    std::erase_if(m_outgoing, isDue);
}

// Sends from the camera's own address, so that each camera answers as itself.
void DiscoveryResponder::SendFrom(const Outgoing &datagram)
{
    iovec iov{const_cast<char *>(datagram.bytes.data()), datagram.bytes.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr msg{};
    msg.msg_name = const_cast<sockaddr_in *>(&datagram.to);
    msg.msg_namelen = sizeof datagram.to;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr *cmsg = CMSG_FIRSTHDR(&msg);
    cmsg->cmsg_level = IPPROTO_IP;
    cmsg->cmsg_type = IP_PKTINFO;
    cmsg->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    inet_pton(AF_INET, datagram.sourceIp.c_str(), &info.ipi_spec_dst);
    std::memcpy(CMSG_DATA(cmsg), &info, sizeof info);
    const std::string to = AddressText(datagram.to);
    // A full send buffer during a large burst: wait for room rather than lose answers.
    while (::sendmsg(m_socket, &msg, 0) < 0) {
        if (errno != EAGAIN && errno != ENOBUFS && errno != EINTR) {
            m_log.Line("error send %s from %s to %s: %s", datagram.what.c_str(), datagram.sourceIp.c_str(),
                       to.c_str(), std::strerror(errno));
            return;
        }
        pollfd pfd{m_socket, POLLOUT, 0};
        ::poll(&pfd, 1, 100);
    }
    m_log.Line("%s to %s", datagram.what.c_str(), to.c_str());
}
