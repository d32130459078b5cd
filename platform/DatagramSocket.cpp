#include "platform/DatagramSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace {

// Holds and the sockets whose events wait for their end; touched on the window thread only.
int g_nHoldDepth = 0;
std::vector<CDatagramSocket *> g_heldSockets;

bool FillAddress(sockaddr_in &sa, std::uint16_t port, const char *address)
{
    sa = {};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    if (!address) {
        sa.sin_addr.s_addr = htonl(INADDR_ANY);
        return true;
    }
    return inet_pton(AF_INET, address, &sa.sin_addr) == 1;
}

} // namespace

// Empty datagrams still take room, so a flood of them is bounded too.
std::size_t CDatagramSocket::QueuedCost(const Datagram &datagram)
{
    return datagram.bytes.size() + sizeof(Datagram);
}

CDatagramSocket::CDatagramSocket() : m_hNotify(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CDatagramSocket::~CDatagramSocket()
{
    Close();
    if (m_hNotify >= 0)
        ::close(m_hNotify);
}

bool CDatagramSocket::Create(std::uint16_t port, const char *address)
{
    Close();
    sockaddr_in sa;
    if (!FillAddress(sa, port, address)) {
        m_nLastError = EINVAL;
        return false;
    }
    m_hSocket = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_hSocket < 0) {
        m_nLastError = errno;
        return false;
    }
    const int share = m_bShareAddress ? 1 : 0;
    ::setsockopt(m_hSocket, SOL_SOCKET, SO_REUSEADDR, &share, sizeof share);
    if (::bind(m_hSocket, reinterpret_cast<const sockaddr *>(&sa), sizeof sa) != 0) {
        m_nLastError = errno;
        ::close(m_hSocket);
        m_hSocket = -1;
        return false;
    }
    if (m_bSendOnly) {
        const int smallest = 0; // the kernel rounds it up to its minimum
        ::setsockopt(m_hSocket, SOL_SOCKET, SO_RCVBUF, &smallest, sizeof smallest);
        return true;
    }
    const int request = kReceiveBufferRequest;
    ::setsockopt(m_hSocket, SOL_SOCKET, SO_RCVBUF, &request, sizeof request);
    StartReader();
    return true;
}

int CDatagramSocket::SendTo(const void *data, int length, std::uint16_t port, const char *host)
{
    sockaddr_in sa;
    if (m_hSocket < 0 || length < 0 || !FillAddress(sa, port, host)) {
        m_nLastError = m_hSocket < 0 ? EBADF : EINVAL;
        return -1;
    }
    const ssize_t sent = ::sendto(m_hSocket, data, std::size_t(length), 0,
                                  reinterpret_cast<const sockaddr *>(&sa), sizeof sa);
    if (sent < 0)
        m_nLastError = errno;
    return int(sent);
}

int CDatagramSocket::ReceiveFrom(void *buffer, int length, std::string &address, unsigned &port)
{
    Datagram datagram;
    {
        std::lock_guard lock(m_queueLock);
        m_bArmed = true;
        if (m_queue.empty()) {
            m_nLastError = m_hSocket < 0 ? EBADF : EWOULDBLOCK;
            return -1;
        }
        datagram = std::move(m_queue.front());
        m_queue.pop_front();
        m_nQueuedBytes -= QueuedCost(datagram);
        if (!m_queue.empty() && !m_bDelivering)
            PostDelivery();
    }
    m_lastArrival = datagram.arrived;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &datagram.from.sin_addr, text, sizeof text);
    address = text;
    port = ntohs(datagram.from.sin_port);
    if (datagram.error != 0) {
        m_nLastError = datagram.error;
        return -1;
    }
    if (length < 0 || datagram.bytes.size() > std::size_t(length)) {
        m_nLastError = EMSGSIZE;
        return -1;
    }
    std::copy(datagram.bytes.begin(), datagram.bytes.end(), static_cast<char *>(buffer));
    return int(datagram.bytes.size());
}

bool CDatagramSocket::WaitForDatagram(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        {
            std::lock_guard lock(m_queueLock);
            if (TakeNotification())
                return true;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (m_hSocket < 0 || left.count() <= 0)
            return false;
        // The reader signals the handle for the next datagram it queues: the queue was
        // seen empty with the signal cleared, under the lock the reader queues under.
        pollfd notified{m_hNotify, POLLIN, 0};
        ::poll(&notified, 1, int(left.count()));
    }
}

bool CDatagramSocket::SetSockOpt(int optionName, const void *value, int length, int level)
{
    if (m_hSocket < 0 || length < 0)
        return false;
    if (::setsockopt(m_hSocket, level, optionName, value, socklen_t(length)) != 0) {
        m_nLastError = errno;
        return false;
    }
    return true;
}

bool CDatagramSocket::GetSockOpt(int optionName, void *value, int *length, int level) const
{
    if (m_hSocket < 0 || !length || *length < 0)
        return false;
    socklen_t len = socklen_t(*length);
    if (::getsockopt(m_hSocket, level, optionName, value, &len) != 0)
        return false;
    *length = int(len);
    return true;
}

int CDatagramSocket::GetReceiveBufferSize() const
{
    int size = 0;
    int length = sizeof size;
    return GetSockOpt(SO_RCVBUF, &size, &length, SOL_SOCKET) ? size : 0;
}

void CDatagramSocket::Close()
{
    if (m_hSocket < 0)
        return;
    StopReader();
    ::close(m_hSocket);
    m_hSocket = -1;
    std::lock_guard lock(m_queueLock);
    m_queue.clear();
    m_nQueuedBytes = 0;
    m_bArmed = true;
}

void CDatagramSocket::OnReceive(int /*errorCode*/)
{
}

void CDatagramSocket::StartReader()
{
    m_hWake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_bDeliveryPosted = false;
    m_bArmed = true;
    m_reader = std::thread([this] { ReaderLoop(); });
}

CDatagramSocket::NotificationHold::NotificationHold()
{
    ++g_nHoldDepth;
}

CDatagramSocket::NotificationHold::~NotificationHold()
{
    if (--g_nHoldDepth == 0)
        ReleaseHeldDeliveries();
}

void CDatagramSocket::ReleaseHeldDeliveries()
{
    const std::vector<CDatagramSocket *> held = std::move(g_heldSockets);
    g_heldSockets.clear();
    for (CDatagramSocket *socket : held) {
        std::lock_guard lock(socket->m_queueLock);
        if (!socket->m_queue.empty())
            socket->PostDelivery();
    }
}

void CDatagramSocket::ForgetHeldDelivery()
{
    std::erase(g_heldSockets, this);
}

void CDatagramSocket::StopReader()
{
    ForgetHeldDelivery();
    if (m_reader.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_hWake, &one, sizeof one);
        m_reader.join();
    }
    if (m_hWake >= 0) {
        ::close(m_hWake);
        m_hWake = -1;
    }
    // A delivery still signalled is dropped with the queue.
    std::lock_guard lock(m_queueLock);
    TakeNotification();
}

void CDatagramSocket::ReaderLoop()
{
    pollfd fds[2] = {{m_hSocket, POLLIN, 0}, {m_hWake, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return;
        if (fds[0].revents != 0)
            DrainKernelSocket();
    }
}

int CDatagramSocket::DrainKernelSocket()
{
    int total = 0;
    // Batches of datagrams per system call keep the reader ahead of a burst that
    // would otherwise overflow a small kernel buffer.
    constexpr unsigned kBatch = 64;
    constexpr std::size_t kSlot = 2048; // longer datagrams are reported, not kept
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
        const int received = ::recvmmsg(m_hSocket, messages, kBatch, MSG_DONTWAIT | MSG_TRUNC, nullptr);
        if (received < 0 && errno == EINTR)
            continue;
        if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return total;
        const auto arrived = std::chrono::steady_clock::now();
        std::lock_guard lock(m_queueLock);
        if (received < 0) {
            Datagram failure;
            failure.error = errno;
            failure.arrived = arrived;
            Enqueue(std::move(failure));
            return total;
        }
        for (int i = 0; i < received; ++i) {
            Datagram datagram;
            datagram.from = senders[i];
            datagram.arrived = arrived;
            const std::size_t length = messages[i].msg_len;
            if (length > kSlot || (messages[i].msg_hdr.msg_flags & MSG_TRUNC))
                datagram.error = EMSGSIZE;
            else
                datagram.bytes.assign(static_cast<const char *>(pieces[i].iov_base),
                                      static_cast<const char *>(pieces[i].iov_base) + length);
            Enqueue(std::move(datagram));
        }
        total += received;
        if (unsigned(received) < kBatch)
            return total;
    }
}

// Caller holds m_queueLock.
void CDatagramSocket::Enqueue(Datagram &&datagram)
{
    if (m_nQueuedBytes + QueuedCost(datagram) <= kMaxQueuedBytes) {
        m_nQueuedBytes += QueuedCost(datagram);
        m_queue.push_back(std::move(datagram));
    }
    PostDelivery();
}

// Caller holds m_queueLock.
void CDatagramSocket::PostDelivery()
{
    if (m_bDeliveryPosted || !m_bArmed)
        return;
    m_bDeliveryPosted = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_hNotify, &one, sizeof one);
}

void CDatagramSocket::ClearNotifySignal()
{
    std::uint64_t signalled = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_hNotify, &signalled, sizeof signalled);
}

// Caller holds m_queueLock.
bool CDatagramSocket::TakeNotification()
{
    m_bDeliveryPosted = false;
    ClearNotifySignal();
    return !m_queue.empty();
}

// What is left after the budget gets a delivery of its own, after the loop's other work.
void CDatagramSocket::DeliverWaiting()
{
    const auto deadline = std::chrono::steady_clock::now() + kDeliveryBudget;
    ClearNotifySignal();
    for (;;) {
        {
            std::lock_guard lock(m_queueLock);
            m_bDeliveryPosted = false;
            if (!m_bArmed || m_queue.empty() || m_hSocket < 0)
                return;
            if (g_nHoldDepth > 0) {
                if (std::find(g_heldSockets.begin(), g_heldSockets.end(), this) == g_heldSockets.end())
                    g_heldSockets.push_back(this);
                return;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                PostDelivery();
                return;
            }
            m_bArmed = false;
            m_bDelivering = true;
        }
        OnReceive(0);
        std::lock_guard lock(m_queueLock);
        m_bDelivering = false;
    }
}
