// The datagram socket's system calls on Windows: Winsock, a manual-reset event object as
// the notification, and a reader that waits on the socket's read event and a wake event.
// Winsock's errors are handed on as the errno values the callers test for.
#include "platform/DatagramSocket.h"

#include "platform/WideText.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cerrno>
#include <cstring>

namespace {

using NativeHandle = CDatagramSocket::NativeHandle;

SOCKET Socket(NativeHandle handle)
{
    return SOCKET(handle);
}

HANDLE Event(NativeHandle handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

NativeHandle FromEvent(HANDLE event)
{
    return event ? reinterpret_cast<NativeHandle>(event) : CDatagramSocket::kNoHandle;
}

struct Translation {
    int wsaError;
    int errnoValue;
};
constexpr Translation kTranslations[] = {
        {WSAEWOULDBLOCK, EWOULDBLOCK},     {WSAEMSGSIZE, EMSGSIZE},         {WSAEADDRINUSE, EADDRINUSE},
        {WSAEADDRNOTAVAIL, EADDRNOTAVAIL}, {WSAENETUNREACH, ENETUNREACH},   {WSAEHOSTUNREACH, EHOSTUNREACH},
        {WSAENETDOWN, ENETDOWN},           {WSAEACCES, EACCES},             {WSAEINVAL, EINVAL},
        {WSAENOTSOCK, EBADF},              {WSAEBADF, EBADF},               {WSAEFAULT, EFAULT},
        {WSAENOBUFS, ENOBUFS},             {WSAEMFILE, EMFILE},             {WSAEAFNOSUPPORT, EAFNOSUPPORT},
        {WSAENOPROTOOPT, ENOPROTOOPT},     {WSAECONNRESET, ECONNRESET},     {WSAEINTR, EINTR},
        {WSAEOPNOTSUPP, EOPNOTSUPP},
};

int ErrnoFrom(int wsaError)
{
    for (const Translation &t : kTranslations) {
        if (t.wsaError == wsaError)
            return t.errnoValue;
    }
    return wsaError; // rarer failures keep Winsock's number, still not 0
}

int LastSocketError()
{
    return ErrnoFrom(::WSAGetLastError());
}

// Winsock is started once, on the first socket, and stays up for the whole run.
int StartWinsock()
{
    static const int error = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data);
    }();
    return error;
}

sockaddr_in SystemAddress(std::uint32_t address, std::uint16_t port)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(address);
    return sa;
}

void SetIntOption(SOCKET socket, int option, int value)
{
    ::setsockopt(socket, SOL_SOCKET, option, reinterpret_cast<const char *>(&value), sizeof value);
}

} // namespace

// Manual reset: signalled until a delivery clears it, as a readable eventfd is on Linux.
CDatagramSocket::NativeHandle CDatagramSocket::OpenNotifySignal()
{
    return FromEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

void CDatagramSocket::CloseNotifySignal()
{
    if (m_hNotify != kNoHandle)
        ::CloseHandle(Event(m_hNotify));
    m_hNotify = kNoHandle;
}

void CDatagramSocket::RaiseNotifySignal()
{
    ::SetEvent(Event(m_hNotify));
}

void CDatagramSocket::ClearNotifySignal()
{
    ::ResetEvent(Event(m_hNotify));
}

void CDatagramSocket::AwaitNotifySignal(std::chrono::milliseconds timeout)
{
    ::WaitForSingleObject(Event(m_hNotify), DWORD(timeout.count()));
}

int CDatagramSocket::OpenSystemSocket(const Endpoint &local, int receiveBuffer)
{
    if (const int error = StartWinsock(); error != 0)
        return ErrnoFrom(error);
    // Not inherited by programs this one starts, which would hold the port after it ends.
    const SOCKET socket = ::WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (socket == INVALID_SOCKET)
        return LastSocketError();
    // Windows lets a sharing socket take over any port that was not bound exclusively;
    // a socket that does not share keeps its port to itself, as on Linux.
    SetIntOption(socket, m_bShareAddress ? SO_REUSEADDR : SO_EXCLUSIVEADDRUSE, 1);
    const sockaddr_in sa = SystemAddress(local.address, local.port);
    u_long nonBlocking = 1;
    if (::bind(socket, reinterpret_cast<const sockaddr *>(&sa), sizeof sa) != 0 ||
        ::ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) {
        const int error = LastSocketError();
        ::closesocket(socket);
        return error;
    }
    SetIntOption(socket, SO_RCVBUF, receiveBuffer);
    m_hSocket = NativeHandle(socket);
    return 0;
}

void CDatagramSocket::CloseSystemSocket()
{
    if (m_hSocket != kNoHandle)
        ::closesocket(Socket(m_hSocket));
    m_hSocket = kNoHandle;
}

int CDatagramSocket::SendSystemDatagram(const void *data, int length, const Endpoint &to)
{
    const sockaddr_in sa = SystemAddress(to.address, to.port);
    const int sent = ::sendto(Socket(m_hSocket), static_cast<const char *>(data), length, 0,
                              reinterpret_cast<const sockaddr *>(&sa), sizeof sa);
    if (sent == SOCKET_ERROR) {
        m_nLastError = LastSocketError();
        return -1;
    }
    return sent;
}

bool CDatagramSocket::SetSockOpt(int optionName, const void *value, int length, int level)
{
    if (m_hSocket == kNoHandle || length < 0)
        return false;
    if (::setsockopt(Socket(m_hSocket), level, optionName, static_cast<const char *>(value), length) != 0) {
        m_nLastError = LastSocketError();
        return false;
    }
    return true;
}

bool CDatagramSocket::GetSockOpt(int optionName, void *value, int *length, int level) const
{
    if (m_hSocket == kNoHandle || !length || *length < 0)
        return false;
    return ::getsockopt(Socket(m_hSocket), level, optionName, static_cast<char *>(value), length) == 0;
}

void CDatagramSocket::EnableBroadcast()
{
    const BOOL on = TRUE;
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
    m_hWake = FromEvent(::WSACreateEvent());
}

void CDatagramSocket::WakeReader()
{
    ::WSASetEvent(Event(m_hWake));
}

void CDatagramSocket::CloseReaderWake()
{
    if (m_hWake != kNoHandle)
        ::WSACloseEvent(Event(m_hWake));
    m_hWake = kNoHandle;
}

// The wake comes first among the events waited for, so that a flood of datagrams cannot
// keep Close waiting.
void CDatagramSocket::ReaderLoop()
{
    const WSAEVENT readable = ::WSACreateEvent();
    if (readable == WSA_INVALID_EVENT)
        return;
    if (::WSAEventSelect(Socket(m_hSocket), readable, FD_READ) == 0) {
        const WSAEVENT events[2] = {Event(m_hWake), readable};
        while (::WSAWaitForMultipleEvents(2, events, FALSE, WSA_INFINITE, FALSE) == WSA_WAIT_EVENT_0 + 1) {
            // Reset before reading: a datagram that comes after the last read signals again.
            ::WSAResetEvent(readable);
            DrainSystemSocket();
        }
        ::WSAEventSelect(Socket(m_hSocket), nullptr, 0);
    }
    ::WSACloseEvent(readable);
}

void CDatagramSocket::DrainSystemSocket()
{
    m_readerBuffer.resize(kLongestKept);
    for (;;) {
        sockaddr_in sender{};
        int senderLength = sizeof sender;
        const int received = ::recvfrom(Socket(m_hSocket), m_readerBuffer.data(), int(m_readerBuffer.size()), 0,
                                        reinterpret_cast<sockaddr *>(&sender), &senderLength);
        const int error = received == SOCKET_ERROR ? ::WSAGetLastError() : 0;
        if (error == WSAEWOULDBLOCK)
            return;
        // An unreachable port answering an earlier send from this socket: Linux reports
        // none on a socket without a peer, and the socket goes on working.
        if (error == WSAECONNRESET || error == WSAENETRESET)
            continue;
        Datagram datagram;
        datagram.from = {ntohl(sender.sin_addr.s_addr), ntohs(sender.sin_port)};
        datagram.error = ErrnoFrom(error);
        datagram.arrived = std::chrono::steady_clock::now();
        if (error == 0)
            datagram.bytes.assign(m_readerBuffer.data(), m_readerBuffer.data() + received);
        QueueArrivals({&datagram, 1});
        // A datagram longer than the buffer was consumed whole; other errors end the pass.
        if (error != 0 && error != WSAEMSGSIZE)
            return;
    }
}

// The C library knows few of the socket errors by name: Winsock words its own.
std::string CDatagramSocket::ErrorText(int error)
{
    for (const Translation &t : kTranslations) {
        if (t.errnoValue == error)
            return SystemMessage(unsigned(t.wsaError));
    }
    return error >= WSABASEERR ? SystemMessage(unsigned(error)) : std::strerror(error);
}
