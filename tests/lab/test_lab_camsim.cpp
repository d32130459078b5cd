// camsim stands in for the cameras: what it answers must be what cameras answer, or
// every lab test built on it proves nothing. Records are built and read here by byte
// offset (RecordBuilder.h), independently of the product's record type.
//
// No test waits for silence: each request is followed by a fence, a set-configuration
// command with a wrong login for a camera that is not under test. camsim handles
// requests in order and answers from one socket, so every answer to the request has
// arrived once the fence's answer has.
#include "tests/lab/CamsimProcess.h"
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

constexpr std::uint16_t kRequestPort = 40013;
constexpr std::uint16_t kReplyPort = 40014;
constexpr int kAnswerTimeoutMs = 10000;

struct Datagram {
    Record bytes;
    std::string sender;
};

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

bool IsRecordOfType(const Datagram &d, std::int32_t type)
{
    return d.bytes.size() == lab::kRecordSize && lab::GetI32(d.bytes, at::kType) == type;
}

// The tool's two sockets, bound as the program binds them.
class Tool final {
public:
    Tool() : m_send(Bind(kRequestPort, CamsimProcess::ToolAddress())), m_receive(Bind(kReplyPort, "0.0.0.0"))
    {
        const int on = 1;
        ::setsockopt(m_send, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    }
    ~Tool()
    {
        ::close(m_send);
        ::close(m_receive);
    }
    Tool(const Tool &) = delete;
    Tool &operator=(const Tool &) = delete;

    void Broadcast(const Record &bytes)
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(kRequestPort);
        to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
        ASSERT_EQ(::sendto(m_send, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr *>(&to), sizeof to),
                  ssize_t(bytes.size()));
    }

    // Sends the request and returns everything that answered it (see the top of the file).
    std::vector<Datagram> Exchange(const Record &request, const std::string &fenceMac)
    {
        Broadcast(request);
        Broadcast(Command(lab::kSetConfig, fenceMac, "fence", ""));
        std::vector<Datagram> answers;
        while (const auto d = Receive()) {
            if (IsRecordOfType(*d, lab::kSetConfig) && lab::MacOf(d->bytes) == fenceMac)
                return answers;
            answers.push_back(*d);
        }
        ADD_FAILURE() << "the fence camera " << fenceMac << " did not answer";
        return answers;
    }

    // MAC -> address of each camera that replies to a search, checking that each reply
    // comes from the address it names.
    std::map<std::string, std::string> Search(const std::string &fenceMac)
    {
        std::map<std::string, std::string> found;
        for (const Datagram &d : Exchange(lab::SearchRequest(), fenceMac)) {
            EXPECT_TRUE(IsRecordOfType(d, lab::kReply)) << d.bytes.size() << " bytes from " << d.sender;
            EXPECT_EQ(d.sender, lab::IpOf(d.bytes)) << "a camera must answer from its own address";
            EXPECT_TRUE(found.emplace(lab::MacOf(d.bytes), lab::IpOf(d.bytes)).second) << "a second reply";
        }
        return found;
    }

    // The result code of a set-configuration command, or nothing when none came; a
    // result must come from the camera's address before the change.
    std::optional<std::int32_t> SetConfig(const Record &command, const std::string &answeringIp,
                                          const std::string &fenceMac)
    {
        const std::vector<Datagram> answers = Exchange(command, fenceMac);
        if (answers.empty())
            return std::nullopt;
        EXPECT_EQ(answers.size(), 1u);
        const Datagram &answer = answers.front();
        EXPECT_TRUE(IsRecordOfType(answer, lab::kSetConfig));
        EXPECT_EQ(lab::MacOf(answer.bytes), lab::MacOf(command));
        EXPECT_EQ(answer.sender, answeringIp);
        return lab::GetI32(answer.bytes, at::kResult);
    }

    std::optional<Datagram> Receive(int timeoutMs = kAnswerTimeoutMs)
    {
        pollfd pfd{m_receive, POLLIN, 0};
        if (::poll(&pfd, 1, timeoutMs) <= 0)
            return std::nullopt;
        Record buffer(2048);
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t n =
            ::recvfrom(m_receive, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr *>(&from), &length);
        buffer.resize(std::size_t(std::max<ssize_t>(n, 0)));
        return Datagram{buffer, inet_ntoa(from.sin_addr)};
    }

private:
    static int Bind(std::uint16_t port, const std::string &address)
    {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(port);
        inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0)
            throw std::runtime_error("cannot bind " + address + ":" + std::to_string(port));
        return fd;
    }

    int m_send;
    int m_receive;
};

// A camera file for camsim, removed when the test ends, whichever way it ends.
struct CameraFile final {
    explicit CameraFile(const std::string &text)
    {
        char name[] = "/tmp/lanscout-camsim-config-XXXXXX";
        const int fd = ::mkstemp(name);
        if (fd < 0)
            throw std::runtime_error("cannot make a camera file");
        ::close(fd);
        path = name;
        std::ofstream(path) << text;
    }
    ~CameraFile() { ::unlink(path.c_str()); }
    CameraFile(const CameraFile &) = delete;
    CameraFile &operator=(const CameraFile &) = delete;

    std::string path;
};

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
    const auto stamp = [&](const std::string &needle) {
        for (const std::string &line : camsim.LogLines())
            if (line.find(needle) != std::string::npos)
                return std::stoll(line);
        ADD_FAILURE() << "no log line with " << needle;
        return 0LL;
    };
    EXPECT_GE(stamp("reply mac=") - stamp("recv search"), 300);
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
    CamsimProcess camsim({"--config", file.path, "--reboot-ms", "0"});
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
