// The discovery session without a window, as a command line uses it: it waits for
// datagrams itself. camsim plays the cameras in the lab; forged datagrams come from a
// plain socket of the test's own. This program links no Qt.
//
// No test waits for silence: what must not happen is followed by a fence, a
// set-configuration result the session awaits, sent after it from the same sender.
#include "discovery/RecordCamera.h"
#include "discovery/DiscoverySession.h"
#include "inventory/DeviceCollection.h"
#include "tests/lab/CamsimProcess.h"
#include "tests/lab/Forger.h"
#include "tests/lab/RecordBuilder.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

using lab::AsData;
using lab::Forger;
using lab::GeneratedMac;
using lab::RecordOf;

using namespace std::chrono_literals;
constexpr auto kFenceTimeout = 10000ms;

std::vector<std::string> MacsAndIps(const CDeviceCollection &listed)
{
    std::vector<std::string> texts;
    for (const Camera &camera : listed.Devices())
        texts.push_back(camera.mac + " " + camera.ip);
    return texts;
}

// Lets a sweep's replies in: a short real pause, which camsim's answers take far less than.
class ShortClock final : public ISweepClock {
public:
    void Pause(std::chrono::milliseconds, CSweepStop &stop) override { stop.Pause(300ms); }
};

// Waits for nothing: notes each pause with the number of searches sent before it, and
// asks for the stop at the pause numbered stopAt (from 1; 0 never).
class CountingClock final : public ISweepClock {
public:
    void Pause(std::chrono::milliseconds pause, CSweepStop &stop) override
    {
        pauses.emplace_back(sent, pause);
        if (int(pauses.size()) == stopAt)
            stop.Request();
    }
    int stopAt = 0;
    int sent = 0; // told by the sweep's progress
    std::vector<std::pair<int, std::chrono::milliseconds>> pauses;
};

class Session : public ::testing::Test {
protected:
    static void Open(CDiscoverySession &s)
    {
        const SocketFailures failures = s.Open();
        ASSERT_FALSE(failures.Any()) << failures.receiveError << " " << failures.sendError;
        ASSERT_EQ(s.OpenSendSocket(CamsimProcess::ToolAddress()), 0);
    }

    // Opens the session on the short clock and runs a sweep to its end.
    void SweepToEnd()
    {
        Open(sweeping);
        sweeping.BeginSweep();
        sweeping.RunSweep();
    }

    // Awaits a result for a camera nobody plays and forges it: once it is settled, every
    // datagram forged before it has been handled.
    void PassForgedFence()
    {
        const DISCOVERY_DATA command = AsData(lab::Command(lab::kSetConfig, "fence", "fence", ""));
        ASSERT_TRUE(session.SendSetConfig(command));
        lab::Record result = RecordOf(lab::kSetConfig, "fence");
        lab::PutI32(result, lab::at::kResult, RESULT_INVALID_CONFIG);
        forger.Send(result);
        ASSERT_TRUE(session.HandleDatagramsUntil([&] { return session.AwaitedSetConfigResults() == 0; }, kFenceTimeout));
        ASSERT_EQ(session.TakeSetConfigResult("fence"), RESULT_INVALID_CONFIG);
    }

    // The same through camsim, which answers in order from one socket: a wrong login
    // for camera 1.
    static void PassCamsimFence(CDiscoverySession &s)
    {
        const std::string mac = GeneratedMac(1);
        ASSERT_TRUE(s.SendSetConfig(AsData(lab::Command(lab::kSetConfig, mac, "fence", ""))));
        ASSERT_TRUE(s.HandleDatagramsUntil([&] { return s.AwaitedSetConfigResults() == 0; }, kFenceTimeout));
        ASSERT_EQ(s.TakeSetConfigResult(mac), RESULT_LOGIN_FAILED);
    }

    CDeviceCollection listed;
    CountingClock counting;
    ShortClock shortClock;
    Forger forger;
    // Each test opens one of the two.
    CDiscoverySession session{listed, counting};
    CDiscoverySession sweeping{listed, shortClock};
};

} // namespace

// The window's rules, datagram by datagram: type 4 only, same MAC and IP listed once,
// an empty MAC never a duplicate, junk of any length ignored without deafening the
// session, and only what reached the socket during the sweep.
TEST_F(Session, RepliesAreListedByTheWindowsRules)
{
    Open(session);
    forger.Send(RecordOf(lab::kReply, "M0", "10.0.0.99")); // before the sweep
    ASSERT_TRUE(session.WaitForDatagram(kFenceTimeout)); // it has reached the socket
    session.BeginSweep();
    const std::vector<char> junk(3000, 4);
    std::vector<lab::Record> datagrams;
    for (int i = 0; i < 5; ++i)
        datagrams.push_back(RecordOf(lab::kReply, "M1", "10.0.0.1"));
    datagrams.push_back(RecordOf(lab::kReply, "M1", "10.0.0.2")); // same camera, other address
    datagrams.push_back(RecordOf(lab::kReply, "", "10.0.0.3"));
    datagrams.push_back(RecordOf(lab::kReply, "", "10.0.0.3"));
    datagrams.push_back(RecordOf(lab::kReply, "M4", ""));
    datagrams.push_back(RecordOf(lab::kReply, "M4", ""));
    for (std::int32_t type : {lab::kSearch, lab::kReboot, lab::kFactoryReset, 99})
        datagrams.push_back(RecordOf(type, "M9", "10.0.0.9"));
    for (std::size_t length : {0, 100, 370, 372, 600, 3000}) // 600: longer than a record; 3000: than the reader's slot
        datagrams.emplace_back(junk.begin(), junk.begin() + std::ptrdiff_t(length));
    datagrams.push_back(RecordOf(lab::kReply, "M5", "10.0.0.5"));
    for (const lab::Record &d : datagrams)
        forger.Send(d);
    PassForgedFence();
    EXPECT_EQ(MacsAndIps(listed), (std::vector<std::string>{"M1 10.0.0.1", "M1 10.0.0.2", " 10.0.0.3", " 10.0.0.3",
                                                            "M4 ", "M4 ", "M5 10.0.0.5"}));

    session.EndSweep();
    forger.Send(RecordOf(lab::kReply, "M6", "10.0.0.6"));
    PassForgedFence();
    EXPECT_EQ(listed.Devices().size(), 7u);
}

// A sweep against camsim lists each camera once, in the order they answered, though
// each answers every search twice and junk follows each search's answers.
TEST_F(Session, SweepListsEachCameraOnceInAnswerOrder)
{
    CamsimProcess camsim({"--cameras", "5", "--first-ip", CamsimProcess::FirstCameraAddress(), "--repeat", "2",
                          "--malformed"});
    SweepToEnd();
    PassCamsimFence(sweeping);

    EXPECT_EQ(camsim.CountLog("recv search"), CDiscoverySession::kSearchSends);
    std::vector<std::string> expected;
    unsigned first[4] = {};
    ASSERT_EQ(std::sscanf(CamsimProcess::FirstCameraAddress().c_str(), "%u.%u.%u.%u", &first[0], &first[1], &first[2],
                          &first[3]), 4);
    for (unsigned n = 1; n <= 5; ++n)
        expected.push_back(GeneratedMac(int(n)) + " " + std::to_string(first[0]) + "." + std::to_string(first[1]) +
                           "." + std::to_string(first[2]) + "." + std::to_string(first[3] + n - 1));
    EXPECT_EQ(MacsAndIps(listed), expected);
}

// Answers that reach the socket after the sweep's end are not listed.
TEST_F(Session, CameraAnsweringAfterTheSweepIsNotListed)
{
    CamsimProcess camsim({"--cameras", "1", "--first-ip", CamsimProcess::FirstCameraAddress(), "--late-ms", "300"});
    Open(session);
    session.BeginSweep();
    session.RunSweep(); // the counting clock does not wait: the sweep is over at once
    ASSERT_TRUE(camsim.WaitForLog(" reply mac=", 5000, CDiscoverySession::kSearchSends)); // answered, late
    PassCamsimFence(session);
    EXPECT_TRUE(listed.Devices().empty());
}

// Five searches, each followed by a second's pause, with the progress told after each
// send; a stop during a pause ends the sweep there. Checked on the counting clock and
// on what camsim received.
TEST_F(Session, SweepPacingAndStop)
{
    CamsimProcess camsim({"--cameras", "1", "--first-ip", CamsimProcess::FirstCameraAddress()});
    Open(session);
    const struct {
        int stopAt;
        int sends;
    } cases[] = {{0, 5}, {2, 2}};
    for (const auto &c : cases) {
        SCOPED_TRACE("stop at pause " + std::to_string(c.stopAt));
        counting = CountingClock();
        counting.stopAt = c.stopAt;
        const int searchesBefore = camsim.CountLog("recv search");
        session.BeginSweep();
        session.RunSweep([&](int sent) { counting.sent = sent; });
        std::vector<std::pair<int, std::chrono::milliseconds>> expected;
        for (int sent = 1; sent <= c.sends; ++sent)
            expected.emplace_back(sent, CDiscoverySession::kSearchPause);
        EXPECT_EQ(counting.pauses, expected);
        PassCamsimFence(session); // camsim handles requests in order: the searches came before
        EXPECT_EQ(camsim.CountLog("recv search") - searchesBefore, c.sends);
    }
}

// A command line keeps several set-configuration commands waiting at once: each result
// settles the command for its own camera, whatever order they come in, and a result
// nobody awaits settles none.
TEST_F(Session, SetConfigResultsAreMatchedByMac)
{
    CamsimProcess camsim({"--cameras", "3", "--first-ip", CamsimProcess::FirstCameraAddress()});
    SweepToEnd();
    ASSERT_TRUE(sweeping.HandleDatagramsUntil([&] { return listed.Devices().size() >= 3; }, kFenceTimeout));
    std::vector<DISCOVERY_DATA> cameras; // as they answered: the commands are built from them
    for (const Camera &camera : listed.Devices())
        cameras.push_back(*RecordOf(camera));

    const auto refusedPort = [](const DISCOVERY_DATA &camera) {
        NetworkSettings settings;
        settings.ip = SlotText(camera.szIP);
        settings.subnetMask = SlotText(camera.szSubnetMask);
        settings.gateway = SlotText(camera.szGateway);
        settings.dns = SlotText(camera.szDNS);
        settings.httpPort = 0;
        return MakeSetConfigCommand(camera, settings, {"admin", "vqxnt"});
    };
    // Camera 3's answer comes first and is awaited by no one.
    ASSERT_TRUE(sweeping.SendCommand(refusedPort(cameras[2])));
    ASSERT_TRUE(sweeping.SendSetConfig(refusedPort(cameras[1])));
    ASSERT_TRUE(sweeping.SendSetConfig(MakeCommand(DISCOVERY_SET_CONFIG, cameras[0], {"admin", "wrong"})));
    EXPECT_EQ(sweeping.AwaitedSetConfigResults(), 2u);
    ASSERT_TRUE(sweeping.HandleDatagramsUntil([&] { return sweeping.AwaitedSetConfigResults() == 0; }, kFenceTimeout));

    EXPECT_EQ(sweeping.TakeSetConfigResult(SlotText(cameras[0].szMAC)), RESULT_LOGIN_FAILED);
    EXPECT_EQ(sweeping.TakeSetConfigResult(SlotText(cameras[1].szMAC)), RESULT_INVALID_PORT);
    EXPECT_EQ(sweeping.TakeSetConfigResult(SlotText(cameras[2].szMAC)), std::nullopt);
    EXPECT_EQ(sweeping.TakeSetConfigResult(SlotText(cameras[0].szMAC)), std::nullopt) << "a result is taken once";
    EXPECT_EQ(camsim.CountLog("set-config mac=" + SlotText(cameras[2].szMAC) + " "), 1) << "camera 3 was asked";
}
