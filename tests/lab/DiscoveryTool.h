#pragma once
// The tool side of the discovery protocol for lab tests: two plain sockets bound as the
// program binds its own, and records built by byte offset (RecordBuilder.h), so that
// what camsim answers is read independently of the product's code.
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

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace lab {

inline constexpr std::uint16_t kRequestPort = 40013;
inline constexpr std::uint16_t kReplyPort = 40014;
inline constexpr int kAnswerTimeoutMs = 10000;
inline constexpr std::int32_t kLoginTaken = 4;   // the camera's "invalid config"
inline constexpr std::int32_t kLoginRefused = 5; // its "login failed"

struct Datagram {
    Record bytes;
    std::string sender;
};

inline bool IsRecordOfType(const Datagram &d, std::int32_t type)
{
    return d.bytes.size() == kRecordSize && GetI32(d.bytes, at::kType) == type;
}

// The tool's two sockets, bound as the program binds them.
class DiscoveryTool final {
public:
    DiscoveryTool() : m_send(Bind(kRequestPort, CamsimProcess::ToolAddress())), m_receive(Bind(kReplyPort, "0.0.0.0"))
    {
        const int on = 1;
        ::setsockopt(m_send, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    }
    ~DiscoveryTool()
    {
        ::close(m_send);
        ::close(m_receive);
    }
    DiscoveryTool(const DiscoveryTool &) = delete;
    DiscoveryTool &operator=(const DiscoveryTool &) = delete;

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
        Broadcast(Command(kSetConfig, fenceMac, "fence", ""));
        std::vector<Datagram> answers;
        while (const auto d = Receive()) {
            if (IsRecordOfType(*d, kSetConfig) && MacOf(d->bytes) == fenceMac)
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
        for (const Datagram &d : Exchange(SearchRequest(), fenceMac)) {
            EXPECT_TRUE(IsRecordOfType(d, kReply)) << d.bytes.size() << " bytes from " << d.sender;
            EXPECT_EQ(d.sender, IpOf(d.bytes)) << "a camera must answer from its own address";
            EXPECT_TRUE(found.emplace(MacOf(d.bytes), IpOf(d.bytes)).second) << "a second reply";
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
        EXPECT_TRUE(IsRecordOfType(answer, kSetConfig));
        EXPECT_EQ(MacOf(answer.bytes), MacOf(command));
        EXPECT_EQ(answer.sender, answeringIp);
        return GetI32(answer.bytes, at::kResult);
    }

    // The answer to a set-configuration whose login is under test and whose address
    // mode no camera takes, so nothing on the camera changes: kLoginRefused, or
    // kLoginTaken when only the mode was refused.
    std::int32_t LoginResult(const std::string &mac, const std::string &user, const std::string &password)
    {
        NetworkFields fields;
        fields.ipMode = 9;
        Broadcast(Command(kSetConfig, mac, user, password, fields));
        while (const auto d = Receive())
            if (IsRecordOfType(*d, kSetConfig) && MacOf(d->bytes) == mac)
                return GetI32(d->bytes, at::kResult);
        ADD_FAILURE() << mac << " did not answer";
        return -1;
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

} // namespace lab
