#pragma once
// Datagrams as any program on the machine could send them to the discovery ports, and
// the records camsim's generated cameras answer with.

#include "discovery/DiscoveryData.h"
#include "tests/lab/RecordBuilder.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace lab {

inline Record RecordOf(std::int32_t type, const std::string &mac, const std::string &ip = "")
{
    Record r(kRecordSize, 0);
    PutI32(r, at::kType, type);
    PutText(r, at::kMac, at::kMacWidth, mac);
    PutText(r, at::kIp, at::kAddressWidth, ip);
    return r;
}

inline DISCOVERY_DATA AsData(const Record &r)
{
    DISCOVERY_DATA data;
    std::memcpy(&data, r.data(), sizeof data);
    return data;
}

// camsim's generated camera n (from 1).
inline std::string GeneratedMac(int n)
{
    char text[24];
    std::snprintf(text, sizeof text, "02:4C:53:00:00:%02X", n);
    return text;
}

// Sends datagrams to a port on the loopback, as any program could.
class Forger final {
public:
    Forger() : m_fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
    ~Forger() { ::close(m_fd); }
    Forger(const Forger &) = delete;
    Forger &operator=(const Forger &) = delete;

    void Send(const Record &bytes, std::uint16_t port = DISCOVERY_RECV_PORT) const
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr *>(&to), sizeof to),
                  ssize_t(bytes.size()));
    }

private:
    int m_fd;
};

} // namespace lab
