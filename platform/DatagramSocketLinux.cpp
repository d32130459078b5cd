// The datagram socket's system calls on Linux: BSD sockets, an eventfd as the
// notification, a second eventfd that ends the reader, and recvmmsg to drain bursts.
#include "platform/DatagramSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>

namespace {

int Descriptor(CDatagramSocket::NativeHandle handle)
{
    return int(handle);
}

void SignalDescriptor(int fd)
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
}

void CloseDescriptor(CDatagramSocket::NativeHandle &handle)
{
    if (handle != CDatagramSocket::kNoHandle)
        ::close(Descriptor(handle));
    handle = CDatagramSocket::kNoHandle;
}

sockaddr_in SystemAddress(std::uint32_t address, std::uint16_t port)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(address);
    return sa;
}

} // namespace

CDatagramSocket::NativeHandle CDatagramSocket::OpenNotifySignal()
{
    const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return fd < 0 ? kNoHandle : fd;
}

void CDatagramSocket::CloseNotifySignal()
{
    CloseDescriptor(m_hNotify);
}

void CDatagramSocket::RaiseNotifySignal()
{
    SignalDescriptor(Descriptor(m_hNotify));
}

void CDatagramSocket::ClearNotifySignal()
{
    std::uint64_t signalled = 0;
    [[maybe_unused]] const ssize_t n = ::read(Descriptor(m_hNotify), &signalled, sizeof signalled);
}

void CDatagramSocket::AwaitNotifySignal(std::chrono::milliseconds timeout)
{
    pollfd notified{Descriptor(m_hNotify), POLLIN, 0};
    ::poll(&notified, 1, int(timeout.count()));
}

int CDatagramSocket::OpenSystemSocket(const Endpoint &local, int receiveBuffer)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return errno;
    const int share = m_bShareAddress ? 1 : 0;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &share, sizeof share);
    const sockaddr_in sa = SystemAddress(local.address, local.port);
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&sa), sizeof sa) != 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    // The kernel rounds a small request up to its minimum and caps a large one.
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    m_hSocket = fd;
    return 0;
}

void CDatagramSocket::CloseSystemSocket()
{
    CloseDescriptor(m_hSocket);
}

int CDatagramSocket::SendSystemDatagram(const void *data, int length, const Endpoint &to)
{
    const sockaddr_in sa = SystemAddress(to.address, to.port);
    const ssize_t sent = ::sendto(Descriptor(m_hSocket), data, std::size_t(length), 0,
                                  reinterpret_cast<const sockaddr *>(&sa), sizeof sa);
    if (sent < 0)
        m_nLastError = errno;
    return int(sent);
}

bool CDatagramSocket::SetSockOpt(int optionName, const void *value, int length, int level)
{
    if (m_hSocket == kNoHandle || length < 0)
        return false;
    if (::setsockopt(Descriptor(m_hSocket), level, optionName, value, socklen_t(length)) != 0) {
        m_nLastError = errno;
        return false;
    }
    return true;
}

bool CDatagramSocket::GetSockOpt(int optionName, void *value, int *length, int level) const
{
    if (m_hSocket == kNoHandle || !length || *length < 0)
        return false;
    socklen_t len = socklen_t(*length);
    if (::getsockopt(Descriptor(m_hSocket), level, optionName, value, &len) != 0)
        return false;
    *length = int(len);
    return true;
}

void CDatagramSocket::EnableBroadcast()
{
    const int on = 1;
    SetSockOpt(SO_BROADCAST, &on, sizeof on, SOL_SOCKET);
}

int CDatagramSocket::GetReceiveBufferSize() const
{
    int size = 0;
    int length = sizeof size;
    return GetSockOpt(SO_RCVBUF, &size, &length, SOL_SOCKET) ? size : 0;
}

void CDatagramSocket::OpenReaderWake()
{
    const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_hWake = fd < 0 ? kNoHandle : fd;
}

void CDatagramSocket::WakeReader()
{
    SignalDescriptor(Descriptor(m_hWake));
}

void CDatagramSocket::CloseReaderWake()
{
    CloseDescriptor(m_hWake);
}

void CDatagramSocket::ReaderLoop()
{
    pollfd fds[2] = {{Descriptor(m_hSocket), POLLIN, 0}, {Descriptor(m_hWake), POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return;
        if (fds[0].revents != 0)
            DrainSystemSocket();
    }
}

void CDatagramSocket::DrainSystemSocket()
{
    // Batches of datagrams per system call keep the reader ahead of a burst that would
    // otherwise overflow a small kernel buffer.
    constexpr unsigned kBatch = 64;
    constexpr std::size_t kSlot = kLongestKept;
    m_readerBuffer.resize(kBatch * kSlot);
    for (;;) {
        mmsghdr messages[kBatch] = {};
        iovec pieces[kBatch];
        sockaddr_in senders[kBatch];
        for (unsigned i = 0; i < kBatch; ++i) {
            pieces[i] = {m_readerBuffer.data() + i * kSlot, kSlot};
            messages[i].msg_hdr.msg_iov = &pieces[i];
            messages[i].msg_hdr.msg_iovlen = 1;
            messages[i].msg_hdr.msg_name = &senders[i];
            messages[i].msg_hdr.msg_namelen = sizeof senders[i];
        }
        const int received = ::recvmmsg(Descriptor(m_hSocket), messages, kBatch, MSG_DONTWAIT | MSG_TRUNC, nullptr);
        if (received < 0 && errno == EINTR)
            continue;
        if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        const auto arrived = std::chrono::steady_clock::now();
        if (received < 0) {
            Datagram failure;
            failure.error = errno;
            failure.arrived = arrived;
            QueueArrivals({&failure, 1});
            return;
        }
        std::array<Datagram, kBatch> batch;
        for (unsigned i = 0; i < unsigned(received); ++i) {
            Datagram &datagram = batch[i];
            datagram.from = {ntohl(senders[i].sin_addr.s_addr), ntohs(senders[i].sin_port)};
            datagram.arrived = arrived;
            const std::size_t length = messages[i].msg_len;
            const char *bytes = static_cast<const char *>(pieces[i].iov_base);
            if (length > kSlot || (messages[i].msg_hdr.msg_flags & MSG_TRUNC))
                datagram.error = EMSGSIZE;
            else
                datagram.bytes.assign(bytes, bytes + length);
        }
        QueueArrivals({batch.data(), std::size_t(received)});
        if (unsigned(received) < kBatch)
            return;
    }
}

std::string CDatagramSocket::ErrorText(int error)
{
    return std::strerror(error);
}
