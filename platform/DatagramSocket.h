#pragma once
// A non-blocking IPv4 datagram socket, free of any event loop. A reader thread drains
// the kernel socket into a queue, so a burst is not lost while the owner is busy, and
// stamps each datagram with the time it arrived.
//
// Two ways to learn of waiting datagrams:
// - a loop that can watch a descriptor (the window's, through CAsyncSocket) watches
//   NotifyHandle() and calls DeliverWaiting() when it is readable: the "datagram
//   waiting" event, OnReceive, is then raised once per waiting datagram, the next only
//   after a ReceiveFrom, so a socket that never reads never spins. The events for a
//   backlog are raised back to back for at most kDeliveryBudget, so that the loop's
//   other work (input, painting) still gets its turn;
// - a caller without such a loop (a command line) blocks in WaitForDatagram and then
//   reads with ReceiveFrom.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <netinet/in.h>

class CDatagramSocket {
public:
    CDatagramSocket();
    CDatagramSocket(const CDatagramSocket &) = delete;
    CDatagramSocket &operator=(const CDatagramSocket &) = delete;
    virtual ~CDatagramSocket();

    // Creates the socket and binds it to the port on the given dotted-decimal address,
    // or on every local address when address is null. On failure the socket is closed.
    bool Create(std::uint16_t port, const char *address = nullptr);

    // Sends one datagram; returns the bytes sent or -1.
    int SendTo(const void *data, int length, std::uint16_t port, const char *host);

    // Reads exactly one datagram. Returns its length (0 or more), or -1 on error:
    // nothing waiting (EWOULDBLOCK), a datagram longer than the buffer (EMSGSIZE,
    // the datagram is consumed), a socket error, or a closed socket.
    int ReceiveFrom(void *buffer, int length, std::string &address, unsigned &port);

    // When the datagram that the last ReceiveFrom read reached this socket.
    std::chrono::steady_clock::time_point LastArrival() const { return m_lastArrival; }

    bool SetSockOpt(int optionName, const void *value, int length, int level);
    bool GetSockOpt(int optionName, void *value, int *length, int level) const;

    // Ends notifications and closes the platform socket; closing twice does nothing.
    void Close();

    bool IsOpen() const { return m_hSocket >= 0; }

    // Readable while a delivery is due; lives as long as the socket object.
    int NotifyHandle() const { return m_hNotify; }
    // Raises OnReceive for each waiting datagram in turn while the handler reads them,
    // until the queue is empty, a handler does not read, or the budget is spent; what
    // is left makes NotifyHandle readable again. For the loop that watches NotifyHandle,
    // on the thread that handles the datagrams.
    void DeliverWaiting();
    // Blocks until a datagram (or a read error) waits to be read, or the timeout has
    // passed; true when one waits. For callers without an event loop.
    bool WaitForDatagram(std::chrono::milliseconds timeout);

    // While one lives, no receive event is raised on this thread; the events due are
    // raised when the last hold ends. Lets the window wait for a camera's answer
    // without handling a datagram in the middle of another action.
    class NotificationHold final {
    public:
        NotificationHold();
        ~NotificationHold();
        NotificationHold(const NotificationHold &) = delete;
        NotificationHold &operator=(const NotificationHold &) = delete;
    };

    int GetLastError() const { return m_nLastError; }
    // The kernel receive buffer granted after Create asked for a large one.
    int GetReceiveBufferSize() const;

    // Receive buffer size asked for after bind; the kernel may grant less.
    static constexpr int kReceiveBufferRequest = 8 * 1024 * 1024;
    // Bytes held for the creating thread; beyond this datagrams are dropped as the
    // kernel would drop them when its buffer is full.
    static constexpr std::size_t kMaxQueuedBytes = 32 * 1024 * 1024;
    // The longest one pass of the event loop spends raising events for a backlog.
    static constexpr std::chrono::milliseconds kDeliveryBudget{50};

protected:
    // A datagram is waiting; raised by DeliverWaiting.
    virtual void OnReceive(int errorCode);

    // Set before Create: the port may be bound by other sockets that share it too
    // (SO_REUSEADDR), as sockets that only send can.
    bool m_bShareAddress = false;
    // Set before Create: the socket never reads, so it keeps no reader and no queue,
    // and what reaches its port is left to the kernel's smallest buffer.
    bool m_bSendOnly = false;

private:
    struct Datagram {
        std::vector<char> bytes;
        sockaddr_in from{};
        int error = 0;
        std::chrono::steady_clock::time_point arrived;
    };

    static std::size_t QueuedCost(const Datagram &datagram);
    void StartReader();
    void StopReader();
    void ReaderLoop();
    // Reads what the kernel holds; returns the number of datagrams taken.
    int DrainKernelSocket();
    void Enqueue(Datagram &&datagram);
    void PostDelivery();
    void ClearNotifySignal();
    // Clears NotifyHandle's signal; returns whether a datagram waits. Caller holds m_queueLock.
    bool TakeNotification();
    void ForgetHeldDelivery();
    static void ReleaseHeldDeliveries();

    int m_hSocket = -1;
    int m_hWake = -1;
    int m_nLastError = 0;
    std::thread m_reader;
    std::vector<char> m_readerBuffer; // the reader thread's own
    int m_hNotify = -1; // signalled when a delivery is due

    std::mutex m_queueLock;
    std::deque<Datagram> m_queue;
    std::size_t m_nQueuedBytes = 0;
    bool m_bDeliveryPosted = false;
    // Set when the creating thread may be told about the next datagram.
    bool m_bArmed = true;
    // Set while Deliver raises events back to back; reads then post nothing.
    bool m_bDelivering = false;
    std::chrono::steady_clock::time_point m_lastArrival;
};
