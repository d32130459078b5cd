// The discovery sockets on a real network: the test runs in the lab's tool namespace,
// camsim plays the cameras in the camera namespace.
#include "discovery/DiscoveryData.h"
#include "discovery/DiscoverySendSocket.h"
#include "platform/AsyncSocket.h"
#include "tests/lab/CamsimProcess.h"
#include "tests/lab/EventPump.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

// Stands in for the window's search: reads one datagram per call of the receive handler.
class ReplyCollector final {
public:
    explicit ReplyCollector(CAsyncSocket &socket) : m_socket(socket)
    {
        m_socket.SetReceiveHandler([this] { Read(); });
    }

    int events = 0;
    int badReads = 0;
    std::vector<DISCOVERY_DATA> records;
    std::vector<std::string> senders;

private:
    void Read()
    {
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
    }

    CAsyncSocket &m_socket;
};

std::unique_ptr<CDiscoverySendSocket> LabSendSocket()
{
    auto socket = std::make_unique<CDiscoverySendSocket>();
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
bool PassFence(CDiscoverySendSocket &sender, const ReplyCollector &collector, const DISCOVERY_DATA &camera)
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
std::uint32_t KernelHeldBytes(const CDatagramSocket &socket)
{
    std::uint32_t info[SK_MEMINFO_VARS] = {};
    int length = sizeof info;
    return socket.GetSockOpt(SO_MEMINFO, info, &length, SOL_SOCKET) ? info[SK_MEMINFO_RMEM_ALLOC] : 0;
}

} // namespace

TEST(LabTransport, SearchBroadcastIsAnsweredOneEventPerReply)
{
    CamsimProcess camsim({"--cameras", "3", "--first-ip", CamsimProcess::FirstCameraAddress()});
    CAsyncSocket receiver;
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
    CAsyncSocket first;
    ASSERT_TRUE(first.Create(DISCOVERY_RECV_PORT));
    CAsyncSocket second;
    EXPECT_FALSE(second.Create(DISCOVERY_RECV_PORT));
    EXPECT_FALSE(second.IsOpen());
    first.Close();
    first.Close(); // closing twice does nothing
    EXPECT_TRUE(second.Create(DISCOVERY_RECV_PORT));
}

// The send socket keeps no reader: what other programs send to the request port stays
// in the kernel, and its owner is never told of it.
TEST(LabTransport, SendSocketNeverReads)
{
    auto sender = LabSendSocket();
    ASSERT_TRUE(sender);
    int handlerCalls = 0;
    sender->SetReceiveHandler([&] { ++handlerCalls; });

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
    ::close(other);

    // Fence: the datagrams are in the kernel's buffer of the port.
    ProcessEventsUntil([&] { return KernelHeldBytes(*sender) > 0; }, 5000);
    ASSERT_GT(KernelHeldBytes(*sender), 0u) << "the other program's datagrams never reached the port";
    sender->DeliverWaiting();
    char buffer[512];
    std::string address;
    unsigned port = 0;
    EXPECT_EQ(sender->ReceiveFrom(buffer, int(sizeof buffer), address, port), -1);
    EXPECT_EQ(handlerCalls, 0);
    EXPECT_GT(KernelHeldBytes(*sender), 0u) << "nothing took them";
}

TEST(LabTransport, SetConfigurationResultFollowsTheLogin)
{
    CamsimProcess camsim({"--cameras", "1", "--first-ip", CamsimProcess::FirstCameraAddress()});
    CAsyncSocket receiver;
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
    CAsyncSocket receiver;
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
