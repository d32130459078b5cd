// The discovery sockets on a real network: the test runs in the lab's tool namespace,
// camsim plays the cameras in the camera namespace.
#include "discovery/DiscoveryData.h"
#include "app/UDPSocket.h"
#include "tests/lab/CamsimProcess.h"
#include "tests/lab/EventPump.h"

#include <QCoreApplication>
#include <QObject>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

// Stands in for the main window: reads one datagram per receive event.
class ReplyCollector final : public QObject {
public:
    explicit ReplyCollector(CUDPSocket &socket) : m_socket(socket) { m_socket.SetNotifyWindow(this); }

    bool event(QEvent *e) override
    {
        if (e->type() != WM_UDP_RECEIVE)
            return QObject::event(e);
        ++events;
        DISCOVERY_DATA record = ZeroRecord();
        std::string address;
        unsigned port = 0;
        const int n = m_socket.ReceiveFrom(&record, int(sizeof record), address, port);
        if (n == int(sizeof record)) {
            records.push_back(record);
            senders.push_back(address);
        } else {
            ++badReads;
        }
        return true;
    }

    int events = 0;
    int badReads = 0;
    std::vector<DISCOVERY_DATA> records;
    std::vector<std::string> senders;

private:
    CUDPSocket &m_socket;
};

// Counts receive events that should never come.
class EventCounter final : public QObject {
public:
    bool event(QEvent *e) override
    {
        if (e->type() == WM_UDP_RECEIVE) {
            ++events;
            return true;
        }
        return QObject::event(e);
    }
    int events = 0;
};

std::unique_ptr<CUDPSendSocket> LabSendSocket()
{
    auto socket = std::make_unique<CUDPSendSocket>();
    if (!socket->Create(DISCOVERY_SEND_PORT, CamsimProcess::ToolAddress().c_str()))
        return nullptr;
    socket->EnableBroadcast();
    return socket;
}

std::set<std::string> Macs(const std::vector<DISCOVERY_DATA> &records)
{
    std::set<std::string> macs;
    for (const auto &r : records)
        macs.insert(SlotText(r.szMAC));
    return macs;
}

// No test waits for silence. A fence is a set-configuration command with a wrong
// login for one of the cameras, sent after the request under test from the same
// socket: camsim handles requests in order and answers from one socket, and the
// receive socket raises its events in the order the datagrams came, so once the
// fence's answer has been collected, every answer to the request has been too.
DISCOVERY_DATA WrongLogin(const DISCOVERY_DATA &camera)
{
    DISCOVERY_DATA command = ZeroRecord();
    command.nType = DISCOVERY_SET_CONFIG;
    std::memcpy(command.szMAC, camera.szMAC, sizeof command.szMAC);
    FillCredentialBlock(command, "fence", "");
    return command;
}

bool IsAnswerTo(const DISCOVERY_DATA &record, const DISCOVERY_DATA &command)
{
    return record.nType == DISCOVERY_SET_CONFIG && SlotText(record.szMAC) == SlotText(command.szMAC);
}

// Sends the fence and serves events until its answer is in; false when it did not come.
bool PassFence(CUDPSendSocket &sender, const ReplyCollector &collector, const DISCOVERY_DATA &camera)
{
    const DISCOVERY_DATA fence = WrongLogin(camera);
    const std::size_t before = collector.records.size();
    if (sender.SendRecord(fence) != int(sizeof fence))
        return false;
    const auto answered = [&] {
        return std::any_of(collector.records.begin() + std::ptrdiff_t(before), collector.records.end(),
                           [&](const DISCOVERY_DATA &r) { return IsAnswerTo(r, fence); });
    };
    ProcessEventsUntil(answered, 10000);
    return answered();
}

// Bytes that reached the socket and wait in the kernel, untaken.
std::uint32_t KernelHeldBytes(const CAsyncSocket &socket)
{
    std::uint32_t info[SK_MEMINFO_VARS] = {};
    int length = sizeof info;
    return socket.GetSockOpt(SO_MEMINFO, info, &length, SOL_SOCKET) ? info[SK_MEMINFO_RMEM_ALLOC] : 0;
}

double ProcessCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

} // namespace

TEST(LabTransport, SearchBroadcastIsAnsweredOneEventPerReply)
{
    CamsimProcess camsim({"--cameras", "3", "--first-ip", CamsimProcess::FirstCameraAddress()});
    CUDPSocket receiver;
    ReplyCollector collector(receiver);
    ASSERT_TRUE(receiver.Create(DISCOVERY_RECV_PORT));
    auto sender = LabSendSocket();
    ASSERT_TRUE(sender);

    EXPECT_EQ(sender->SendRecord(MakeSearchRecord()), 371);
    ProcessEventsUntil([&] { return collector.records.size() >= 3; }, 5000);
    ASSERT_FALSE(collector.records.empty());
    ASSERT_TRUE(PassFence(*sender, collector, collector.records.front())); // nothing more may come

    EXPECT_TRUE(camsim.WaitForLog("search", 2000));
    ASSERT_EQ(collector.records.size(), 4u) << "three replies, then the fence's answer";
    EXPECT_TRUE(IsAnswerTo(collector.records.back(), WrongLogin(collector.records.front())));
    collector.records.pop_back();
    collector.senders.pop_back();
    EXPECT_EQ(collector.events, 4);
    EXPECT_EQ(collector.badReads, 0);
    EXPECT_EQ(Macs(collector.records).size(), 3u);
    // Each reply comes from its camera's own address.
    for (std::size_t i = 0; i < collector.records.size(); ++i) {
        EXPECT_EQ(+collector.records[i].nType, DISCOVERY_REPLY); // + copies the packed field
        EXPECT_EQ(collector.senders[i], SlotText(collector.records[i].szIP));
    }
}

TEST(LabTransport, ReceivePortCanBeBoundOnlyOnce)
{
    CUDPSocket first;
    ASSERT_TRUE(first.Create(DISCOVERY_RECV_PORT));
    CUDPSocket second;
    EXPECT_FALSE(second.Create(DISCOVERY_RECV_PORT));
    EXPECT_FALSE(second.IsOpen());
    first.Close();
    first.Close(); // closing twice does nothing
    EXPECT_TRUE(second.Create(DISCOVERY_RECV_PORT));
}

TEST(LabTransport, SendSocketNeverReadsAndNeverSpins)
{
    EventCounter window;
    auto sender = LabSendSocket();
    ASSERT_TRUE(sender);
    sender->SetNotifyWindow(&window);

    // Another program on the site sends to the tool's request port.
    const int other = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(other, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(DISCOVERY_SEND_PORT);
    inet_pton(AF_INET, CamsimProcess::ToolAddress().c_str(), &to.sin_addr);
    const DISCOVERY_DATA record = MakeSearchRecord();
    for (int i = 0; i < 50; ++i)
        ::sendto(other, &record, sizeof record, 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
    static const char kLast[] = "last datagram"; // the fence, from the same sender
    ::sendto(other, kLast, sizeof kLast, 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
    ::close(other);

    const double cpuBefore = ProcessCpuMs();
    ProcessEventsFor(500);
    const double cpuUsed = ProcessCpuMs() - cpuBefore;
    // A spinning event loop would burn the whole half second.
    EXPECT_LT(cpuUsed, 250.0);

    // Fence. The socket raises its event only for a datagram waiting in its queue. If
    // it keeps what reaches its port, the test itself now reads its queue empty, up to
    // the other program's last datagram: every event those datagrams could raise has
    // come by then, and none can come after. If it keeps no reader, what reached it
    // stays in the kernel, untaken, and no event can come for it either.
    bool readBackToLast = false;
    bool leftInKernel = false;
    int readBack = 0;
    ProcessEventsUntil(
        [&] {
            char buffer[512];
            std::string address;
            unsigned port = 0;
            for (int n; (n = sender->ReceiveFrom(buffer, int(sizeof buffer), address, port)) >= 0; ++readBack) {
                if (n == int(sizeof kLast) && std::memcmp(buffer, kLast, sizeof kLast) == 0)
                    return readBackToLast = true;
            }
            return leftInKernel = readBack == 0 && KernelHeldBytes(*sender) > 0;
        },
        5000);
    ASSERT_TRUE(readBackToLast || leftInKernel) << "the other program's datagrams went missing";
    EXPECT_EQ(window.events, 0);
}

TEST(LabTransport, SetConfigurationResultFollowsTheLogin)
{
    CamsimProcess camsim({"--cameras", "1", "--first-ip", CamsimProcess::FirstCameraAddress()});
    CUDPSocket receiver;
    ReplyCollector collector(receiver);
    ASSERT_TRUE(receiver.Create(DISCOVERY_RECV_PORT));
    auto sender = LabSendSocket();
    ASSERT_TRUE(sender);

    sender->SendRecord(MakeSearchRecord());
    ProcessEventsUntil([&] { return !collector.records.empty(); }, 5000);
    ASSERT_EQ(collector.records.size(), 1u);
    const DISCOVERY_DATA camera = collector.records.front();

    auto resultFor = [&](const char *password) {
        collector.records.clear();
        DISCOVERY_DATA command = camera;
        command.nType = DISCOVERY_SET_CONFIG;
        FillCredentialBlock(command, "admin", password);
        sender->EnableBroadcast();
        sender->SendRecord(command);
        ProcessEventsUntil([&] { return !collector.records.empty(); }, 5000);
        return collector.records.empty() ? -1 : collector.records.front().nResult;
    };
    EXPECT_EQ(resultFor("wrong"), RESULT_LOGIN_FAILED);
    EXPECT_EQ(resultFor("vqxnt"), 0);
    EXPECT_EQ(SlotText(collector.records.front().szMAC), SlotText(camera.szMAC));
    EXPECT_EQ(+collector.records.front().nType, DISCOVERY_SET_CONFIG);
}

class LabBurst : public ::testing::TestWithParam<int> {
protected:
    static void SetUpTestSuite()
    {
        camsim = new CamsimProcess({"--cameras", "1000", "--first-ip", CamsimProcess::FirstCameraAddress()});
    }
    static void TearDownTestSuite()
    {
        delete camsim;
        camsim = nullptr;
    }
    static CamsimProcess *camsim;
};
CamsimProcess *LabBurst::camsim = nullptr;

// 1000 cameras answer at once while the window thread is busy for 300 ms: with the
// receive buffer the socket asks for itself (0), and with the request limited to
// 425984 bytes, as a site laptop may allow.
TEST_P(LabBurst, ThousandRepliesWhileTheWindowIsBusyArriveWhole)
{
    CUDPSocket receiver;
    ReplyCollector collector(receiver);
    ASSERT_TRUE(receiver.Create(DISCOVERY_RECV_PORT));
    if (const int limit = GetParam(); limit > 0) {
        ASSERT_TRUE(receiver.SetSockOpt(SO_RCVBUF, &limit, sizeof limit, SOL_SOCKET));
    }
    const int granted = receiver.GetReceiveBufferSize();
    auto sender = LabSendSocket();
    ASSERT_TRUE(sender);

    sender->SendRecord(MakeSearchRecord());
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the window thread is busy
    ProcessEventsUntil([&] { return collector.records.size() >= 1000; }, 15000);

    const std::size_t distinct = Macs(collector.records).size();
    std::printf("burst: %zu of 1000 replies received, SO_RCVBUF granted %d bytes\n", distinct, granted);
    RecordProperty("replies_received", int(distinct));
    RecordProperty("rcvbuf_granted", granted);
    EXPECT_EQ(distinct, 1000u);
    EXPECT_EQ(collector.events, int(collector.records.size()));
    if (GetParam() > 0) {
        EXPECT_LE(granted, 2 * GetParam());
    }
}

INSTANTIATE_TEST_SUITE_P(ReceiveBuffer, LabBurst, ::testing::Values(0, 425984));

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
