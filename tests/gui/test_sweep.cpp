// What a sweep lists when the window thread falls behind: replies count by when they
// reached the socket, the list has a ceiling against floods, and the send socket reads
// nothing at all. Replies are forged on the lab's loopback by a plain socket.
#include "discovery/Discovery.h"
#include "discovery/UDPSocket.h"
#include "platform/AsyncSocket.h"
#include "platform/DebugOutput.h"
#include "tests/gui/GuiTest.h"
#include "tests/lab/EventPump.h"

#include <QTableWidget>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// Sends forged camera replies to the window's reply port.
class Forger final {
public:
    Forger() : m_fd(::socket(AF_INET, SOCK_DGRAM, 0)) {}
    ~Forger() { ::close(m_fd); }
    Forger(const Forger &) = delete;
    Forger &operator=(const Forger &) = delete;

    void Send(const DISCOVERY_DATA &record, std::uint16_t port = DISCOVERY_RECV_PORT) const
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::sendto(m_fd, &record, sizeof record, 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
    }

private:
    int m_fd;
};

DISCOVERY_DATA Numbered(std::uint32_t n)
{
    char mac[40];
    char ip[40];
    std::snprintf(mac, sizeof mac, "02:FF:00:%02X:%02X:%02X", (n >> 16) & 0xFF, (n >> 8) & 0xFF, n & 0xFF);
    std::snprintf(ip, sizeof ip, "10.%u.%u.%u", (n >> 16) & 0xFF, (n >> 8) & 0xFF, n & 0xFF);
    return CameraRecord(mac, ip);
}

class Sweep : public MainWindowTest {
protected:
    void SearchToEnd()
    {
        window->OnSearch();
        ASSERT_TRUE(WaitFor([&] { return !window->IsSweepRunning(); }, 15000));
    }
    Forger forger;
};

int ThreadCount()
{
    int n = 0;
    for ([[maybe_unused]] const auto &task : std::filesystem::directory_iterator("/proc/self/task"))
        ++n;
    return n;
}

} // namespace

// The window thread is held up (here: its socket events are) until after the sweep's
// end; what arrived during the sweep is still listed, what arrived before it is not.
TEST_F(Sweep, RepliesCountByWhenTheyArrived)
{
    RunFirstSearchToEnd();
    auto heldUp = std::make_unique<CAsyncSocket::NotificationHold>();
    forger.Send(CameraRecord("02:00:00:00:00:01", "10.0.0.1")); // before the search
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // lets it reach the socket first
    window->OnSearch();
    forger.Send(CameraRecord("02:00:00:00:00:02", "10.0.0.2"));
    forger.Send(CameraRecord("02:00:00:00:00:03", "10.0.0.3"));
    ASSERT_TRUE(WaitFor([&] { return !window->IsSweepRunning(); }, 15000));
    EXPECT_EQ(window->RowCount(), 0) << "nothing handled yet";
    heldUp.reset();
    // The socket hands datagrams up in arrival order: once the two later ones are
    // listed, the early one has been handled, and left out.
    ASSERT_TRUE(WaitFor([&] { return window->RowCount() >= 2; }, 5000));
    EXPECT_EQ(window->RowCount(), 2);
    EXPECT_EQ(window->m_listDevices->item(0, 1)->text(), QStringLiteral("02:00:00:00:00:02"));
    EXPECT_EQ(window->m_listDevices->item(1, 1)->text(), QStringLiteral("02:00:00:00:00:03"));
}

// A flood of distinct forged replies fills the list to its ceiling and no further;
// the window goes on and, once the sweep's replies are handled, says how many it dropped.
TEST_F(Sweep, ListStopsAtItsCeiling)
{
    constexpr std::uint32_t kCeiling = 65536;
    RunFirstSearchToEnd();
    std::vector<std::string> debug;
    const DebugSink previous = SetDebugSink([&](std::string_view text) { debug.emplace_back(text); });
    window->OnSearch();
    for (std::uint32_t n = 0; n <= kCeiling; ++n) {
        forger.Send(Numbered(n));
        if (n % 100 == 99)
            std::this_thread::sleep_for(std::chrono::milliseconds(1)); // the socket's reader drains the kernel
    }
    // A result the window awaits, sent after the flood, is shown once every reply
    // before it has been handled.
    g_strPendingMAC = "02:FF:FF:FF:FF:FF";
    DISCOVERY_DATA fence = CameraRecord(g_strPendingMAC, "");
    fence.nType = DISCOVERY_SET_CONFIG;
    fence.nResult = RESULT_FAILED;
    forger.Send(fence);
    ASSERT_TRUE(WaitFor([&] { return !messages.boxes.empty(); }, 120000)) << "the flood was not handled";
    EXPECT_EQ(window->RowCount(), int(kCeiling));
    ASSERT_TRUE(WaitFor([&] { return !window->IsSweepRunning(); }, 60000));
    window->OnSearch(); // the window goes on, and reports the last sweep
    SetDebugSink(previous);
    EXPECT_EQ(debug, std::vector<std::string>{"1 replies dropped: the device list holds at most 65536 devices"});
    EXPECT_EQ(window->RowCount(), 0);
    ASSERT_TRUE(WaitFor([&] { return !window->IsSweepRunning(); }, 60000));
}

// The send socket never reads: it keeps no reader thread, and what reaches its port
// is never handed up.
TEST(SendSocket, ReadsNothing)
{
    const int before = ThreadCount();
    CUDPSendSocket send;
    ASSERT_TRUE(send.Create(47013, "127.0.0.1"));
    EXPECT_EQ(ThreadCount(), before);
    CUDPSocket fence;
    ASSERT_TRUE(fence.Create(47014, "127.0.0.1"));
    Forger forger;
    forger.Send(Numbered(1), 47013);
    forger.Send(Numbered(2), 47014);
    char buffer[DISCOVERY_DATA_SIZE];
    std::string from;
    unsigned port = 0;
    // Once the later datagram is on the fence socket, the earlier one has reached the
    // send socket's port too.
    int fenceLength = -1;
    ASSERT_TRUE(WaitFor(
        [&] { return fenceLength > 0 || (fenceLength = fence.ReceiveFrom(buffer, sizeof buffer, from, port)) > 0; },
        5000));
    EXPECT_EQ(send.ReceiveFrom(buffer, sizeof buffer, from, port), -1);
    EXPECT_EQ(send.GetLastError(), EWOULDBLOCK);
}
