// camsim stands in for the cameras: what it answers must be what cameras answer, or
// every lab test built on it proves nothing. Records are built and read here by byte
// offset (RecordBuilder.h), independently of the product's record type; no test waits
// for silence (fences: DiscoveryTool.h).
#include "tests/lab/CamsimProcess.h"
#include "tests/lab/DiscoveryTool.h"
#include "tests/lab/LabFile.h"
#include "tests/lab/RecordBuilder.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using lab::Command;
using lab::NetworkFields;
using lab::Record;
namespace at = lab::at;
using lab::Datagram;
using lab::IsRecordOfType;
using lab::kAnswerTimeoutMs;
using Tool = lab::DiscoveryTool;
using CameraFile = lab::LabFile;

// camsim's generated cameras, numbered from 1.
std::string GeneratedMac(int n)
{
    char text[24];
    std::snprintf(text, sizeof text, "02:4C:53:00:00:%02X", n);
    return text;
}

std::string CameraAddress(int offset)
{
    in_addr address{};
    inet_pton(AF_INET, CamsimProcess::FirstCameraAddress().c_str(), &address);
    address.s_addr = htonl(ntohl(address.s_addr) + std::uint32_t(offset));
    return inet_ntoa(address);
}

// The time stamp of the first log line with the needle.
long long StampOf(const CamsimProcess &camsim, const std::string &needle)
{
    for (const std::string &line : camsim.LogLines())
        if (line.find(needle) != std::string::npos)
            return std::stoll(line);
    ADD_FAILURE() << "no log line with " << needle;
    return 0;
}

// Three generated cameras; the third one serves as the fence.
class ThreeCameras : public ::testing::Test {
protected:
    CamsimProcess camsim{{"--cameras", "3", "--first-ip", CamsimProcess::FirstCameraAddress()}};
    Tool tool;
    const std::string first = GeneratedMac(1);
    const std::string second = GeneratedMac(2);
    const std::string fence = GeneratedMac(3);
};

} // namespace

TEST_F(ThreeCameras, EachCameraRepliesOnceFromItsOwnAddressWithItsDescription)
{
    const std::vector<Datagram> replies = tool.Exchange(lab::SearchRequest(), fence);
    ASSERT_EQ(replies.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const Record &r = replies[std::size_t(i)].bytes;
        ASSERT_TRUE(IsRecordOfType(replies[std::size_t(i)], lab::kReply));
        EXPECT_EQ(replies[std::size_t(i)].sender, CameraAddress(i));
        EXPECT_EQ(lab::MacOf(r), GeneratedMac(i + 1));
        EXPECT_EQ(lab::IpOf(r), CameraAddress(i));
        EXPECT_EQ(lab::GetText(r, at::kMask, at::kAddressWidth), "255.255.252.0");
        EXPECT_EQ(lab::GetText(r, at::kGateway, at::kAddressWidth), "10.77.0.1");
        EXPECT_FALSE(lab::GetText(r, at::kProduct, at::kProductWidth).empty());
        EXPECT_FALSE(lab::GetText(r, at::kFirmware, at::kFirmwareWidth).empty());
        EXPECT_EQ(lab::GetU16(r, at::kHttpPort), 80);
        EXPECT_NE(lab::GetU16(r, at::kRtspPort), 0);
    }
    EXPECT_TRUE(camsim.WaitForLog("recv search from " + CamsimProcess::ToolAddress() + ":40013 len=371", 0));
    EXPECT_TRUE(camsim.WaitForLog(
        "reply mac=" + first + " ip=" + CameraAddress(0) + " to " + CamsimProcess::ToolAddress() + ":40014", 0));
}

TEST_F(ThreeCameras, RefusedSettingsAreAnsweredWithTheirCodeAndChangeNothing)
{
    const std::string ip = CameraAddress(0);
    const auto setConfig = [&](const std::string &user, const std::string &password, const NetworkFields &f) {
        return tool.SetConfig(Command(lab::kSetConfig, first, user, password, f), ip, fence);
    };
    const auto with = [](auto change) {
        NetworkFields f;
        change(f);
        return f;
    };
    EXPECT_EQ(setConfig("admin", "vqxnX", {}), 5);
    EXPECT_EQ(setConfig("Admin", "vqxnt", {}), 5);
    EXPECT_EQ(setConfig("admin", "vqxn", {}), 5);
    EXPECT_EQ(setConfig("admin", "vqxnt", with([](NetworkFields &f) { f.ipMode = 7; })), 4);
    EXPECT_EQ(setConfig("admin", "vqxnt", with([](NetworkFields &f) { f.ip = "10.77.1"; })), 2);
    EXPECT_EQ(setConfig("admin", "vqxnt", with([](NetworkFields &f) { f.ip = "10.77.1.300"; })), 2);
    EXPECT_EQ(setConfig("admin", "vqxnt", with([](NetworkFields &f) { f.ip = "10.77.3.255"; })), 2); // broadcast
    EXPECT_EQ(setConfig("admin", "vqxnt", with([&](NetworkFields &f) { f.ip = CameraAddress(1); })), 2); // taken
    EXPECT_EQ(setConfig("admin", "vqxnt", with([](NetworkFields &f) { f.mask = "255.0.255.0"; })), 2);
    EXPECT_EQ(setConfig("admin", "vqxnt", with([](NetworkFields &f) { f.gateway = ""; })), 2);
    EXPECT_EQ(setConfig("admin", "vqxnt", with([](NetworkFields &f) { f.gateway = "10.78.0.1"; })), 2);
    EXPECT_EQ(setConfig("admin", "vqxnt", with([](NetworkFields &f) { f.dns = "dns.example"; })), 2);
    EXPECT_EQ(setConfig("admin", "vqxnt", with([](NetworkFields &f) { f.httpPort = 0; })), 3);
    EXPECT_EQ(setConfig("admin", "vqxnt", with([](NetworkFields &f) { f.audioSendPort = 0; })), 3);
    EXPECT_EQ(setConfig("admin", "vqxnt", with([](NetworkFields &f) { f.httpPort = 554; })), 3); // RTSP's port

    const std::vector<Datagram> replies = tool.Exchange(lab::SearchRequest(), fence);
    ASSERT_EQ(replies.size(), 3u);
    EXPECT_EQ(lab::IpOf(replies[0].bytes), ip);
    EXPECT_EQ(lab::GetU16(replies[0].bytes, at::kHttpPort), 80);
}

TEST_F(ThreeCameras, CommandsForAnotherMacGetNoAnswer)
{
    EXPECT_EQ(tool.SetConfig(Command(lab::kSetConfig, "02:4C:53:00:00:99", "admin", "vqxnt"), "", fence),
              std::nullopt);
    EXPECT_EQ(tool.SetConfig(Command(lab::kSetConfig, first + " ", "admin", "vqxnt"), "", fence), std::nullopt);
    EXPECT_TRUE(camsim.WaitForLog("reason=not-ours", 0, 2));
    EXPECT_EQ(tool.Search(fence).at(first), CameraAddress(0));
}

TEST_F(ThreeCameras, AcceptedSettingsShowInTheNextSearchAndTheCameraAnswersFromItsNewAddress)
{
    NetworkFields moved;
    moved.ip = "10.77.1.50";
    moved.httpPort = 8080;
    moved.https = 1;
    ASSERT_EQ(tool.SetConfig(Command(lab::kSetConfig, first, "admin", "vqxnt", moved), CameraAddress(0), fence), 0);
    const std::vector<Datagram> replies = tool.Exchange(lab::SearchRequest(), fence);
    ASSERT_EQ(replies.size(), 3u);
    EXPECT_EQ(replies[0].sender, "10.77.1.50");
    EXPECT_EQ(lab::IpOf(replies[0].bytes), "10.77.1.50");
    EXPECT_EQ(lab::GetU16(replies[0].bytes, at::kHttpPort), 8080);
    EXPECT_EQ(replies[0].bytes[at::kHttps], 1);

    // Under DHCP the address texts do not count and the camera keeps its address.
    NetworkFields dhcp;
    dhcp.ipMode = 1;
    dhcp.ip = dhcp.mask = dhcp.gateway = dhcp.dns = "";
    ASSERT_EQ(tool.SetConfig(Command(lab::kSetConfig, first, "admin", "vqxnt", dhcp), "10.77.1.50", fence), 0);
    const std::vector<Datagram> again = tool.Exchange(lab::SearchRequest(), fence);
    ASSERT_EQ(again.size(), 3u);
    EXPECT_EQ(lab::GetI32(again[0].bytes, at::kIpMode), 1);
    EXPECT_EQ(lab::IpOf(again[0].bytes), "10.77.1.50");
}

TEST_F(ThreeCameras, DatagramsThatAreNoCommandAreDroppedAndCamsimGoesOn)
{
    for (const std::size_t length : {0u, 1u, 4u, 100u, 370u, 372u, 600u, 2048u, 9000u}) {
        Record junk(length, 0x03);
        tool.Broadcast(junk);
    }
    for (const std::int32_t type : {0, 4, 8, 99, -1}) {
        Record unknown = Command(lab::kSetConfig, first, "admin", "vqxnt");
        lab::PutI32(unknown, at::kType, type);
        tool.Broadcast(unknown);
    }
    Record noNul(lab::kRecordSize, 0xFF); // every text slot full, no NUL anywhere
    lab::PutI32(noNul, at::kType, lab::kSetConfig);
    tool.Broadcast(noNul);

    EXPECT_EQ(tool.Search(fence).size(), 3u);
    EXPECT_EQ(camsim.CountLog("reason=not-a-record"), 9);
    EXPECT_EQ(camsim.CountLog("reason=unknown-type"), 5);
    EXPECT_EQ(camsim.CountLog("reason=not-ours"), 1);
}

TEST(CamsimMisbehaviour, RepeatedAndMalformedAnswers)
{
    CamsimProcess camsim({"--cameras", "2", "--first-ip", CamsimProcess::FirstCameraAddress(), "--repeat", "3",
                          "--malformed"});
    Tool tool;
    std::map<std::size_t, int> lengths;
    std::map<std::int32_t, int> types;
    for (const Datagram &d : tool.Exchange(lab::SearchRequest(), GeneratedMac(2))) {
        ++lengths[d.bytes.size()];
        if (d.bytes.size() == lab::kRecordSize)
            ++types[lab::GetI32(d.bytes, at::kType)];
    }
    EXPECT_EQ(types[lab::kReply], 2 * 3);
    EXPECT_EQ(types[99], 1);
    EXPECT_EQ(lengths, (std::map<std::size_t, int>{{0, 1}, {100, 1}, {lab::kRecordSize, 7}, {600, 1}}));
}

TEST(CamsimMisbehaviour, DroppedRepliesFollowTheShareAndAreLogged)
{
    CamsimProcess camsim({"--cameras", "20", "--first-ip", CamsimProcess::FirstCameraAddress(), "--drop-percent",
                          "50", "--seed", "7"});
    Tool tool;
    std::size_t replies = 0;
    for (const Datagram &d : tool.Exchange(lab::SearchRequest(), GeneratedMac(1)))
        replies += IsRecordOfType(d, lab::kReply);
    const int dropped = camsim.CountLog("reason=drop-percent");
    EXPECT_EQ(replies + std::size_t(dropped), 20u);
    EXPECT_GT(dropped, 0);
    EXPECT_GT(replies, 0u);
}

TEST(CamsimMisbehaviour, LateRepliesLeaveNoEarlierThanAsked)
{
    CamsimProcess camsim({"--cameras", "1", "--first-ip", CamsimProcess::FirstCameraAddress(), "--late-ms", "300"});
    Tool tool;
    tool.Broadcast(lab::SearchRequest());
    const auto reply = tool.Receive();
    ASSERT_TRUE(reply);
    EXPECT_TRUE(IsRecordOfType(*reply, lab::kReply));
    ASSERT_TRUE(camsim.WaitForLog("reply mac=", kAnswerTimeoutMs)); // written just after the send
    EXPECT_GE(StampOf(camsim, "reply mac=") - StampOf(camsim, "recv search"), 300);
}

// A held-back result is scheduled, not waited for: a search sent after the command is
// answered first.
TEST(CamsimMisbehaviour, HeldBackResultsLeaveNoEarlierThanAskedAndHoldUpNothing)
{
    CamsimProcess camsim({"--cameras", "1", "--first-ip", CamsimProcess::FirstCameraAddress(), "--result-delay-ms",
                          "300"});
    Tool tool;
    tool.Broadcast(Command(lab::kSetConfig, GeneratedMac(1), "admin", "wrong"));
    tool.Broadcast(lab::SearchRequest());
    const auto first = tool.Receive();
    const auto second = tool.Receive();
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(IsRecordOfType(*first, lab::kReply)) << "the search waited for the held-back result";
    EXPECT_TRUE(IsRecordOfType(*second, lab::kSetConfig));
    ASSERT_TRUE(camsim.WaitForLog("result mac=", kAnswerTimeoutMs)); // written just after the send
    EXPECT_GE(StampOf(camsim, "result mac=") - StampOf(camsim, "set-config mac="), 300);
}

TEST(CamsimReboot, ARebootingCameraIsSilentAndTheWrongLoginDoesNotReboot)
{
    CamsimProcess camsim({"--cameras", "2", "--first-ip", CamsimProcess::FirstCameraAddress(), "--reboot-ms",
                          "600000"});
    Tool tool;
    const std::string rebooted = GeneratedMac(1);
    const std::string fence = GeneratedMac(2);
    tool.Broadcast(Command(lab::kReboot, rebooted, "admin", "wrong"));
    EXPECT_EQ(tool.Search(fence).size(), 2u);
    EXPECT_EQ(camsim.CountLog("reboot mac=" + rebooted + " result=login-failed"), 1);

    tool.Broadcast(Command(lab::kReboot, rebooted, "admin", "vqxnt"));
    EXPECT_EQ(tool.Search(fence).count(rebooted), 0u);
    EXPECT_EQ(tool.SetConfig(Command(lab::kSetConfig, rebooted, "admin", "vqxnt"), "", fence), std::nullopt);
}

TEST(CamsimReboot, ARebootedCameraComesBack)
{
    CamsimProcess camsim({"--cameras", "2", "--first-ip", CamsimProcess::FirstCameraAddress(), "--reboot-ms", "200"});
    Tool tool;
    tool.Broadcast(Command(lab::kReboot, GeneratedMac(1), "admin", "vqxnt"));
    ASSERT_TRUE(camsim.WaitForLog("back mac=" + GeneratedMac(1), kAnswerTimeoutMs));
    EXPECT_EQ(tool.Search(GeneratedMac(2)).size(), 2u);
}

TEST(CamsimFactoryReset, RestoresTheDeliveredSettingsAndTheFactoryLogin)
{
    const CameraFile file("[camera]\nmac = 02:00:00:00:00:0A\nip = 10.77.0.40\nuser = operator\n"
                          "password = secret\nhttp_port = 8000\n\n"
                          "[camera]\nmac = 02:00:00:00:00:0B\nip = 10.77.0.41\n");
    CamsimProcess camsim({"--config", file.Path(), "--reboot-ms", "0"});
    Tool tool;
    const std::string mac = "02:00:00:00:00:0A";
    const std::string fence = "02:00:00:00:00:0B";
    NetworkFields moved;
    moved.ip = "10.77.2.20";
    ASSERT_EQ(tool.SetConfig(Command(lab::kSetConfig, mac, "operator", "secret", moved), "10.77.0.40", fence), 0);

    tool.Broadcast(Command(lab::kFactoryReset, mac, "admin", "vqxnt")); // not its login yet
    EXPECT_EQ(tool.Search(fence).at(mac), "10.77.2.20");
    tool.Broadcast(Command(lab::kFactoryReset, mac, "operator", "secret"));
    ASSERT_TRUE(camsim.WaitForLog("back mac=" + mac, kAnswerTimeoutMs));

    const std::vector<Datagram> replies = tool.Exchange(lab::SearchRequest(), fence);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(lab::IpOf(replies[0].bytes), "10.77.0.40");
    EXPECT_EQ(lab::GetU16(replies[0].bytes, at::kHttpPort), 8000);
    EXPECT_EQ(tool.SetConfig(Command(lab::kSetConfig, mac, "operator", "secret"), "10.77.0.40", fence), 5);
    EXPECT_EQ(tool.SetConfig(Command(lab::kSetConfig, mac, "admin", "vqxnt"), "10.77.0.40", fence), 0);
}
