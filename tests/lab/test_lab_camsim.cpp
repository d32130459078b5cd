// camsim as the cameras' stand-in: what it answers must be what real cameras answer,
// or every lab test built on it proves nothing. Records are built and read here by
// byte offset, independently of the product's record type.
#include "discovery/MD5.h"
#include "tests/lab/CamsimProcess.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

void PutText(Bytes &r, std::size_t offset, const std::string &text)
{
    std::memcpy(&r[offset], text.c_str(), text.size() + 1);
}

void PutU16(Bytes &r, std::size_t offset, unsigned value)
{
    r[offset] = value & 0xFF;
    r[offset + 1] = (value >> 8) & 0xFF;
}

std::string GetText(const Bytes &r, std::size_t offset, std::size_t width)
{
    std::string text;
    for (std::size_t i = offset; i < offset + width && r[i] != 0; ++i)
        text += char(r[i]);
    return text;
}

int GetI32(const Bytes &r, std::size_t offset)
{
    return int(r[offset] | r[offset + 1] << 8 | r[offset + 2] << 16 | unsigned(r[offset + 3]) << 24);
}

struct Settings {
    std::string ip = "10.77.1.50", mask = "255.255.252.0", gateway = "10.77.0.1", dns = "10.77.0.1";
    int mode = 0;
    unsigned http = 8080;
};

Bytes Command(int type, const std::string &mac, const std::string &user, const std::string &password,
              const Settings &s = {})
{
    Bytes r(371, 0);
    r[0] = std::uint8_t(type);
    PutText(r, 8, user);
    CMD5 md5;
    md5.Update(password.c_str(), password.size() + 1);
    md5.Final(&r[40]);
    PutText(r, 72, mac);
    r[228] = std::uint8_t(s.mode);
    PutText(r, 232, s.ip);
    PutText(r, 264, s.mask);
    PutText(r, 296, s.gateway);
    PutText(r, 328, s.dns);
    PutU16(r, 360, s.http);
    PutU16(r, 362, 4520);
    PutU16(r, 364, 554);
    PutU16(r, 366, 4522);
    PutU16(r, 368, 4521);
    return r;
}

// The tool's two ports, bound to the lab address, as the program binds them.
class Tool {
public:
    Tool()
    {
        m_send = Bind(DISCOVERY_PORT_REQUESTS, CamsimProcess::ToolAddress());
        m_recv = Bind(DISCOVERY_PORT_REPLIES, "0.0.0.0");
        const int on = 1;
        setsockopt(m_send, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    }
    ~Tool()
    {
        ::close(m_send);
        ::close(m_recv);
    }

    void Broadcast(const Bytes &record)
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(DISCOVERY_PORT_REQUESTS);
        to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
        ::sendto(m_send, record.data(), record.size(), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
    }

    // Everything that arrives within the time, with its sender.
    std::vector<std::pair<Bytes, std::string>> Collect(int ms)
    {
        std::vector<std::pair<Bytes, std::string>> got;
        pollfd pfd{m_recv, POLLIN, 0};
        while (::poll(&pfd, 1, ms) > 0) {
            Bytes buffer(2048);
            sockaddr_in from{};
            socklen_t len = sizeof from;
            const ssize_t n = ::recvfrom(m_recv, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr *>(&from), &len);
            buffer.resize(std::size_t(std::max<ssize_t>(n, 0)));
            got.emplace_back(buffer, inet_ntoa(from.sin_addr));
        }
        return got;
    }

    // MAC -> IP of every camera answering a search.
    std::map<std::string, std::string> Search()
    {
        Bytes search(371, 0);
        search[0] = 3;
        Broadcast(search);
        std::map<std::string, std::string> found;
        for (const auto &[reply, sender] : Collect(300)) {
            EXPECT_EQ(reply.size(), 371u);
            if (reply.size() != 371 || GetI32(reply, 0) != 4)
                continue;
            EXPECT_EQ(sender, GetText(reply, 232, 32)); // answered from its own address
            found[GetText(reply, 72, 24)] = GetText(reply, 232, 32);
        }
        return found;
    }

    // The result code of a set-configuration command, or -1 without an answer.
    int SetConfig(const Bytes &command)
    {
        Broadcast(command);
        for (const auto &[answer, sender] : Collect(300))
            if (answer.size() == 371 && GetI32(answer, 0) == 5)
                return GetI32(answer, 4);
        return -1;
    }

private:
    static constexpr std::uint16_t DISCOVERY_PORT_REQUESTS = 40013;
    static constexpr std::uint16_t DISCOVERY_PORT_REPLIES = 40014;

    static int Bind(std::uint16_t port, const std::string &address)
    {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(port);
        inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa), 0);
        return fd;
    }

    int m_send = -1;
    int m_recv = -1;
};

class Camsim : public ::testing::Test {
protected:
    CamsimProcess camsim{{"--cameras", "3", "--first-ip", CamsimProcess::FirstCameraAddress(), "--reboot-ms", "0"}};
    Tool tool;
};

} // namespace

TEST_F(Camsim, EveryCameraAnswersASearchFromItsOwnAddress)
{
    const auto found = tool.Search();
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found.begin()->second, CamsimProcess::FirstCameraAddress());
    EXPECT_TRUE(camsim.WaitForLog("recv search", 1000));
}

TEST_F(Camsim, SetConfigurationResultCodes)
{
    const std::string mac = tool.Search().begin()->first;
    Settings badPort;
    badPort.http = 0;
    Settings badAddress;
    badAddress.ip = "10.77.1";
    Settings badMode;
    badMode.mode = 7;

    EXPECT_EQ(tool.SetConfig(Command(5, mac, "admin", "wrong")), 5);
    EXPECT_EQ(tool.SetConfig(Command(5, mac, "admi", "vqxnt")), 5);
    EXPECT_EQ(tool.SetConfig(Command(5, mac, "admin", "vqxnt", badPort)), 3);
    EXPECT_EQ(tool.SetConfig(Command(5, mac, "admin", "vqxnt", badAddress)), 2);
    EXPECT_EQ(tool.SetConfig(Command(5, mac, "admin", "vqxnt", badMode)), 4);
    EXPECT_EQ(tool.SetConfig(Command(5, "00:00:00:00:00:00", "admin", "vqxnt")), -1); // not one of ours

    EXPECT_EQ(tool.SetConfig(Command(5, mac, "admin", "vqxnt")), 0);
    const auto found = tool.Search();
    ASSERT_EQ(found.count(mac), 1u);
    EXPECT_EQ(found.at(mac), "10.77.1.50"); // and the answer came from there
}

TEST_F(Camsim, MalformedDatagramsAreSurvived)
{
    for (std::size_t length : {0u, 1u, 100u, 370u, 372u, 600u}) {
        Bytes junk(length, 0x03);
        tool.Broadcast(junk);
    }
    Bytes unknown(371, 0);
    unknown[0] = 99;
    tool.Broadcast(unknown);
    EXPECT_EQ(tool.Search().size(), 3u);
    EXPECT_GE(camsim.CountLog("drop"), 7);
}

TEST(CamsimMisbehaving, MalformedRepeatedAndLateAnswers)
{
    CamsimProcess camsim({"--cameras", "2", "--first-ip", CamsimProcess::FirstCameraAddress(), "--repeat", "3",
                          "--malformed"});
    Tool tool;
    Bytes search(371, 0);
    search[0] = 3;
    tool.Broadcast(search);
    std::map<std::size_t, int> lengths;
    for (const auto &[datagram, sender] : tool.Collect(300))
        ++lengths[datagram.size()];
    EXPECT_EQ(lengths[371], 2 * 3 + 1); // three replies per camera, and one of type 99
    EXPECT_EQ(lengths[0], 1);
    EXPECT_EQ(lengths[100], 1);
    EXPECT_EQ(lengths[600], 1);
}

TEST(CamsimMisbehaving, LateAnswersComeAfterTheirDelay)
{
    CamsimProcess camsim({"--cameras", "1", "--first-ip", CamsimProcess::FirstCameraAddress(), "--late-ms", "600"});
    Tool tool;
    Bytes search(371, 0);
    search[0] = 3;
    tool.Broadcast(search);
    EXPECT_TRUE(tool.Collect(300).empty());
    EXPECT_EQ(tool.Collect(1000).size(), 1u);
}

TEST(CamsimMisbehaving, FactoryResetRestoresTheLogin)
{
    CamsimProcess camsim({"--cameras", "1", "--first-ip", CamsimProcess::FirstCameraAddress(), "--reboot-ms", "0"});
    Tool tool;
    const std::string mac = tool.Search().begin()->first;
    Settings moved;
    moved.ip = "10.77.2.20";
    ASSERT_EQ(tool.SetConfig(Command(5, mac, "admin", "vqxnt", moved)), 0);
    tool.Broadcast(Command(7, mac, "admin", "wrong"));
    ASSERT_TRUE(camsim.WaitForLog("factory-reset mac=" + mac + " result=login-failed", 1000));
    EXPECT_EQ(tool.Search().at(mac), "10.77.2.20");
    tool.Broadcast(Command(7, mac, "admin", "vqxnt"));
    ASSERT_TRUE(camsim.WaitForLog("factory-reset mac=" + mac + " ip=", 1000));
    EXPECT_EQ(tool.Search().at(mac), CamsimProcess::FirstCameraAddress());
}
