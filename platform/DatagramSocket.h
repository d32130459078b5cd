#pragma once
// A non-blocking IPv4 datagram socket, free of any event loop. A reader thread drains
// the kernel socket into a queue, so a burst is not lost while the owner is busy, and
// stamps each datagram with the time it arrived.
//
// Two ways to learn of waiting datagrams:
// - a loop that can watch a system handle (the window's, through CAsyncSocket) watches
//   NotifyHandle() and calls DeliverWaiting() when it is signalled: the owner's
//   "datagram waiting" handler (SetReceiveHandler) is then called once per waiting
//   datagram, the next only after a ReceiveFrom, so a socket that never reads never
//   spins. The calls for a backlog run back to back for at most kDeliveryBudget, so that
//   the loop's other work (input, painting) still gets its turn;
// - a caller without such a loop (a command line) blocks in WaitForDatagram and then
//   reads with ReceiveFrom.
//
// The system calls live in one file per platform (DatagramSocketLinux.cpp,
// DatagramSocketWindows.cpp); the queue and the delivery rules here and in
// DatagramSocket.cpp are the same on both. Error codes are errno values on both.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

class CDatagramSocket {
public:
    // A socket, descriptor or event object of the system, wide enough for any of them;
    // kNoHandle when there is none.
    using NativeHandle = std::intptr_t;
    static constexpr NativeHandle kNoHandle = -1;

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

    // The system's own socket options (the platform's option and level numbers).
    bool SetSockOpt(int optionName, const void *value, int length, int level);
    bool GetSockOpt(int optionName, void *value, int *length, int level) const;
    // Allows sends to the broadcast address.
    void EnableBroadcast();

    // Ends notifications and closes the platform socket; closing twice does nothing.
    void Close();

    bool IsOpen() const { return m_hSocket != kNoHandle; }

    // Signalled while a delivery is due (a readable descriptor on Linux, an event object
    // on Windows); lives as long as the socket object.
    NativeHandle NotifyHandle() const { return m_hNotify; }
    // What DeliverWaiting calls for each waiting datagram: the owner reads it there.
    void SetReceiveHandler(std::function<void()> onReceive) { m_onReceive = std::move(onReceive); }
    // Calls the receive handler for each waiting datagram in turn while it reads them,
    // until the queue is empty, a handler does not read, or the budget is spent; what
    // is left signals NotifyHandle again. For the loop that watches NotifyHandle,
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
    // What the system calls an error GetLastError gave, for a message.
    static std::string ErrorText(int error);
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
    // Set before Create: the port may be bound by other sockets that share it too
    // (SO_REUSEADDR), as sockets that only send can.
    bool m_bShareAddress = false;
    // Set before Create: the socket never reads, so it keeps no reader and no queue,
    // and what reaches its port is left to the kernel's smallest buffer.
    bool m_bSendOnly = false;

private:
    // An IPv4 address and port, both in host order.
    struct Endpoint {
        std::uint32_t address = 0;
        std::uint16_t port = 0;
    };
    struct Datagram {
        std::vector<char> bytes;
        Endpoint from;
        int error = 0;
        std::chrono::steady_clock::time_point arrived;
    };
    // Longer datagrams are reported (EMSGSIZE), not kept.
    static constexpr std::size_t kLongestKept = 2048;

    static std::size_t QueuedCost(const Datagram &datagram);
    void StartReader();
    void StopReader();
    // Queues what the reader took from the system socket, all stamped on arrival.
    void QueueArrivals(std::span<Datagram> arrivals);
    void Enqueue(Datagram &&datagram);
    void PostDelivery();
    // Clears NotifyHandle's signal; returns whether a datagram waits. Caller holds m_queueLock.
    bool TakeNotification();
    void ForgetHeldDelivery();
    static void ReleaseHeldDeliveries();

    // The platform's part, one file per platform.
    static NativeHandle OpenNotifySignal();
    void CloseNotifySignal();
    void RaiseNotifySignal();
    void ClearNotifySignal();
    // Sleeps until NotifyHandle is signalled or the timeout has passed.
    void AwaitNotifySignal(std::chrono::milliseconds timeout);
    // Opens m_hSocket bound to local, asking for the given receive buffer (0: as little
    // as the system allows); returns 0, or why not with no socket left open.
    int OpenSystemSocket(const Endpoint &local, int receiveBuffer);
    void CloseSystemSocket();
    // Returns the bytes sent, or -1 with m_nLastError set.
    int SendSystemDatagram(const void *data, int length, const Endpoint &to);
    void OpenReaderWake();
    void WakeReader();
    void CloseReaderWake();
    // The reader thread: drains the system socket into the queue until woken.
    void ReaderLoop();
    // Takes everything the system socket holds, stamped as it is taken.
    void DrainSystemSocket();

    NativeHandle m_hSocket = kNoHandle;
    NativeHandle m_hWake = kNoHandle; // ends the reader
    int m_nLastError = 0;
    std::thread m_reader;
    std::vector<char> m_readerBuffer; // the reader thread's own
    NativeHandle m_hNotify = kNoHandle; // signalled when a delivery is due

    std::mutex m_queueLock;
    std::deque<Datagram> m_queue;
    std::size_t m_nQueuedBytes = 0;
    bool m_bDeliveryPosted = false;
    // Set when the creating thread may be told about the next datagram.
    bool m_bArmed = true;
    // Set while Deliver raises events back to back; reads then post nothing.
    bool m_bDelivering = false;
    std::chrono::steady_clock::time_point m_lastArrival;
    std::function<void()> m_onReceive;
};
