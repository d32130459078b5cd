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

bool IsContiguousMask(const std::string &text)
{
    in_addr addr{};
    if (inet_pton(AF_INET, text.c_str(), &addr) != 1)
        return false;
    const std::uint32_t mask = ntohl(addr.s_addr);
    return mask != 0 && (~mask & (~mask + 1)) == 0;
}

bool IsUsableHostAddress(const std::string &text)
{
    in_addr addr{};
    if (inet_pton(AF_INET, text.c_str(), &addr) != 1)
        return false;
    const std::uint32_t host = ntohl(addr.s_addr);
    return host != 0 && host != 0xFFFFFFFFu && (host >> 28) != 0xE; // not multicast
}

} // namespace

DISCOVERY_DATA ReplyRecord(const Camera &camera)
{
    DISCOVERY_DATA r = ZeroRecord();
    r.nType = DISCOVERY_REPLY;
    const CameraSettings &s = camera.settings;
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

std::int32_t ValidateSettings(const DISCOVERY_DATA &command)
{
    if (command.nIPMode != IP_MODE_STATIC && command.nIPMode != IP_MODE_DHCP)
        return RESULT_INVALID_CONFIG;
    if (command.nIPMode == IP_MODE_STATIC) {
        if (!IsUsableHostAddress(SlotText(command.szIP)) || !IsContiguousMask(SlotText(command.szSubnetMask)) ||
            !IsIpv4Text(SlotText(command.szGateway)) || !IsIpv4Text(SlotText(command.szDNS)))
            return RESULT_INVALID_ADDRESS;
    }
    for (std::uint16_t port : {command.wHttpPort, command.wDataPort, command.wRtspPort, command.wAudioRecvPort,
                               command.wAudioSendPort})
        if (port == 0)
            return RESULT_INVALID_PORT;
    return 0;
}

DiscoveryResponder::DiscoveryResponder(std::vector<Camera> &cameras, const Options &options, Log &log)
    : m_cameras(cameras), m_options(options), m_log(log), m_random(options.seed)
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
    const int on = 1;
    ::setsockopt(m_socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    ::setsockopt(m_socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    const int buffer = 4 * 1024 * 1024;
    ::setsockopt(m_socket, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(DISCOVERY_SEND_PORT);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    if (m_socket < 0 || ::bind(m_socket, reinterpret_cast<sockaddr *>(&any), sizeof any) != 0) {
        m_log.Line(0, "error bind 0.0.0.0:%u: %s", DISCOVERY_SEND_PORT, std::strerror(errno));
        return false;
    }
    return true;
}

void DiscoveryResponder::OnReadable(std::int64_t nowMs)
{
    char buffer[2048];
    for (;;) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n = ::recvfrom(m_socket, buffer, sizeof buffer, MSG_TRUNC,
                                     reinterpret_cast<sockaddr *>(&from), &fromLength);
        if (n < 0)
            return;
        if (std::size_t(n) != DISCOVERY_DATA_SIZE) {
            m_log.Line(nowMs, "drop len=%zd from %s reason=not-a-record", n, AddressText(from).c_str());
            continue;
        }
        HandleDatagram(buffer, std::size_t(n), from, nowMs);
    }
}

void DiscoveryResponder::HandleDatagram(const char *data, std::size_t length, const sockaddr_in &from,
                                        std::int64_t nowMs)
{
    DISCOVERY_DATA record;
    std::memcpy(&record, data, std::min(length, sizeof record));
    if (record.nType == DISCOVERY_SEARCH) {
        m_log.Line(nowMs, "recv search from %s len=%zu", AddressText(from).c_str(), length);
        AnswerSearch(from, nowMs);
        return;
    }
    if (record.nType < DISCOVERY_SET_CONFIG || record.nType > DISCOVERY_FACTORY_RESET) {
        m_log.Line(nowMs, "drop type=%d from %s reason=unknown-type", record.nType, AddressText(from).c_str());
        return;
    }
    const std::string mac = SlotText(record.szMAC);
    Camera *camera = FindCamera(mac);
    if (!camera) {
        m_log.Line(nowMs, "ignore type=%d mac=%s reason=not-ours", record.nType, mac.c_str());
        return;
    }
    if (camera->silentUntilMs > nowMs) {
        m_log.Line(nowMs, "ignore type=%d mac=%s reason=rebooting", record.nType, mac.c_str());
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
    for (const Camera &camera : m_cameras) {
        if (camera.silentUntilMs > nowMs)
            continue;
        for (int i = 0; i < m_options.repeat; ++i) {
            if (percent(m_random) < m_options.dropPercent) {
                m_log.Line(nowMs, "skip reply mac=%s reason=drop-percent", camera.mac.c_str());
                continue;
            }
            const DISCOVERY_DATA reply = ReplyRecord(camera);
            Queue(&reply, sizeof reply, camera.settings.ip, to, due);
        }
    }
    if (m_options.malformed)
        QueueMalformed(to, due);
    SendDue(nowMs);
}

void DiscoveryResponder::QueueMalformed(const sockaddr_in &to, std::int64_t dueMs)
{
    if (m_cameras.empty())
        return;
    const std::string &source = m_cameras.front().settings.ip;
    std::vector<char> bytes(600, 0x41);
    Queue(bytes.data(), 0, source, to, dueMs);
    Queue(bytes.data(), 100, source, to, dueMs);
    Queue(bytes.data(), bytes.size(), source, to, dueMs);
    DISCOVERY_DATA unknown = ReplyRecord(m_cameras.front());
    unknown.nType = 99;
    Queue(&unknown, sizeof unknown, source, to, dueMs);
}

bool DiscoveryResponder::LoginMatches(const Camera &camera, const DISCOVERY_DATA &command) const
{
    std::uint8_t expected[16];
    PasswordDigest(camera.settings.password, expected);
    return SlotText(command.szUserID) == camera.settings.user &&
           std::memcmp(command.abPasswordDigest, expected, sizeof expected) == 0;
}

void DiscoveryResponder::HandleSetConfig(Camera &camera, const DISCOVERY_DATA &command, const sockaddr_in &from,
                                         std::int64_t nowMs)
{
    std::int32_t result = LoginMatches(camera, command) ? ValidateSettings(command) : RESULT_LOGIN_FAILED;
    const std::string answeringIp = camera.settings.ip;
    if (result == 0) {
        CameraSettings &s = camera.settings;
        s.ipMode = command.nIPMode;
        // Under DHCP the simulated server leases the camera its current address.
        if (command.nIPMode == IP_MODE_STATIC) {
            s.ip = SlotText(command.szIP);
            s.mask = SlotText(command.szSubnetMask);
            s.gateway = SlotText(command.szGateway);
            s.dns = SlotText(command.szDNS);
        }
        s.httpPort = command.wHttpPort;
        s.dataPort = command.wDataPort;
        s.rtspPort = command.wRtspPort;
        s.audioRecvPort = command.wAudioRecvPort;
        s.audioSendPort = command.wAudioSendPort;
        s.https = command.bHttps != 0;
        if (!AddAddresses(m_options.interfaceName, {s.ip}, m_options.prefixLength))
            m_log.Line(nowMs, "error cannot add address %s", s.ip.c_str());
    }
    m_log.Line(nowMs, "set-config mac=%s ip=%s mode=%d http=%u user=%s result=%d", camera.mac.c_str(),
               SlotText(command.szIP).c_str(), command.nIPMode, command.wHttpPort, SlotText(command.szUserID).c_str(),
               result);
    DISCOVERY_DATA answer = ZeroRecord();
    answer.nType = DISCOVERY_SET_CONFIG;
    answer.nResult = result;
    WriteSlotText(answer.szMAC, camera.mac);
    Queue(&answer, sizeof answer, answeringIp, ReplyAddress(from), nowMs);
    SendDue(nowMs);
}

void DiscoveryResponder::HandleReboot(Camera &camera, const DISCOVERY_DATA &command, std::int64_t nowMs)
{
    if (!LoginMatches(camera, command)) {
        m_log.Line(nowMs, "reboot mac=%s result=login-failed", camera.mac.c_str());
        return;
    }
    camera.silentUntilMs = nowMs + m_options.rebootMs;
    m_log.Line(nowMs, "reboot mac=%s silent-ms=%d", camera.mac.c_str(), m_options.rebootMs);
}

void DiscoveryResponder::HandleFactoryReset(Camera &camera, const DISCOVERY_DATA &command, std::int64_t nowMs)
{
    if (!LoginMatches(camera, command)) {
        m_log.Line(nowMs, "factory-reset mac=%s result=login-failed", camera.mac.c_str());
        return;
    }
    camera.settings = camera.factory;
    camera.silentUntilMs = nowMs + m_options.rebootMs;
    m_log.Line(nowMs, "factory-reset mac=%s ip=%s", camera.mac.c_str(), camera.settings.ip.c_str());
}

Camera *DiscoveryResponder::FindCamera(const std::string &mac)
{
    for (Camera &camera : m_cameras)
        if (camera.mac == mac)
            return &camera;
    return nullptr;
}

void DiscoveryResponder::Queue(const void *data, std::size_t length, const std::string &sourceIp,
                               const sockaddr_in &to, std::int64_t dueMs)
{
    const char *bytes = static_cast<const char *>(data);
    m_pending.push_back({dueMs, std::vector<char>(bytes, bytes + length), sourceIp, to});
}

int DiscoveryResponder::SendDue(std::int64_t nowMs)
{
    std::int64_t next = -1;
    std::vector<Pending> later;
    for (Pending &datagram : m_pending) {
        if (datagram.dueMs <= nowMs) {
            SendFrom(datagram);
            m_log.Line(nowMs, "sent len=%zu from %s to %s", datagram.bytes.size(), datagram.sourceIp.c_str(),
                       AddressText(datagram.to).c_str());
        } else {
            next = next < 0 ? datagram.dueMs : std::min(next, datagram.dueMs);
            later.push_back(std::move(datagram));
        }
    }
    m_pending = std::move(later);
    return next < 0 ? -1 : int(next - nowMs);
}

// Sends from the camera's own address, so each camera answers as itself.
void DiscoveryResponder::SendFrom(const Pending &datagram)
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
    // A full send buffer during a large burst: wait for room rather than lose answers.
    while (::sendmsg(m_socket, &msg, 0) < 0 && (errno == EAGAIN || errno == ENOBUFS || errno == EINTR)) {
        pollfd pfd{m_socket, POLLOUT, 0};
        ::poll(&pfd, 1, 100);
    }
}
