#include "platform/DatagramSocket.h"

#include "platform/Ipv4.h"

#include <algorithm>
#include <cerrno>
#include <vector>

namespace {

// Holds and the sockets whose events wait for their end; touched on the window thread only.
int g_nHoldDepth = 0;
std::vector<CDatagramSocket *> g_heldSockets;

// A socket's address as given to Create or SendTo: every local address (0.0.0.0) when null.
bool ParseGivenAddress(const char *text, std::uint32_t &address)
{
    const std::optional<std::uint32_t> given = text ? ParseIpv4(text) : std::uint32_t(0);
    address = given.value_or(0);
    return given.has_value();
}

} // namespace

// Empty datagrams still take room, so a flood of them is bounded too.
std::size_t CDatagramSocket::QueuedCost(const Datagram &datagram)
{
    return datagram.bytes.size() + sizeof(Datagram);
}

CDatagramSocket::CDatagramSocket() : m_hNotify(OpenNotifySignal()) {}

CDatagramSocket::~CDatagramSocket()
{
    Close();
    CloseNotifySignal();
}

bool CDatagramSocket::Create(std::uint16_t port, const char *address)
{
    Close();
    Endpoint local{0, port};
    if (!ParseGivenAddress(address, local.address)) {
        m_nLastError = EINVAL;
        return false;
    }
    // A socket that only sends gets the smallest buffer the system allows.
    const int error = OpenSystemSocket(local, m_bSendOnly ? 0 : kReceiveBufferRequest);
    if (error != 0) {
        m_nLastError = error;
        return false;
    }
    if (!m_bSendOnly)
        StartReader();
    return true;
}

int CDatagramSocket::SendTo(const void *data, int length, std::uint16_t port, const char *host)
{
    Endpoint to{0, port};
    if (m_hSocket == kNoHandle || length < 0 || !ParseGivenAddress(host, to.address)) {
        m_nLastError = m_hSocket == kNoHandle ? EBADF : EINVAL;
        return -1;
    }
    return SendSystemDatagram(data, length, to);
}

int CDatagramSocket::ReceiveFrom(void *buffer, int length, std::string &address, unsigned &port)
{
    Datagram datagram;
    {
        std::lock_guard lock(m_queueLock);
        m_bArmed = true;
        if (m_queue.empty()) {
            m_nLastError = m_hSocket == kNoHandle ? EBADF : EWOULDBLOCK;
            return -1;
        }
        datagram = std::move(m_queue.front());
        m_queue.pop_front();
        m_nQueuedBytes -= QueuedCost(datagram);
        if (!m_queue.empty() && !m_bDelivering)
            PostDelivery();
    }
    m_lastArrival = datagram.arrived;
    address = FormatIpv4(datagram.from.address);
    port = datagram.from.port;
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
        if (m_hSocket == kNoHandle || left.count() <= 0)
            return false;
        // The reader signals the handle for the next datagram it queues: the queue was
        // seen empty with the signal cleared, under the lock the reader queues under.
        AwaitNotifySignal(left);
    }
}

void CDatagramSocket::Close()
{
    if (m_hSocket == kNoHandle)
        return;
    StopReader();
    CloseSystemSocket();
    std::lock_guard lock(m_queueLock);
    m_queue.clear();
    m_nQueuedBytes = 0;
    m_bArmed = true;
}

void CDatagramSocket::StartReader()
{
    OpenReaderWake();
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
        WakeReader();
        m_reader.join();
    }
    CloseReaderWake();
    // A delivery still signalled is dropped with the queue.
    std::lock_guard lock(m_queueLock);
    TakeNotification();
}

void CDatagramSocket::QueueArrivals(std::span<Datagram> arrivals)
{
    std::lock_guard lock(m_queueLock);
    for (Datagram &datagram : arrivals)
        Enqueue(std::move(datagram));
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
    RaiseNotifySignal();
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
            if (!m_bArmed || m_queue.empty() || m_hSocket == kNoHandle)
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
        if (m_onReceive)
            m_onReceive();
        std::lock_guard lock(m_queueLock);
        m_bDelivering = false;
    }
}
