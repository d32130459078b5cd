#pragma once
// Forged replies to the window's reply port, as any program on the machine could send
// them: distinct cameras in one burst.

#include "discovery/DiscoveryData.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <functional>

namespace bench {

// Sends count replies to the reply port on the loopback as fast as the socket takes
// them; fill(reply, n) writes reply n's fields into a zeroed reply.
inline void FloodReplies(long count, const std::function<void(DISCOVERY_DATA &, long)> &fill, std::atomic<long> &sent)
{
    // On a site the flood comes from another computer: here it must not take the CPU
    // that the window and the key presses need.
    ::setpriority(PRIO_PROCESS, pid_t(::syscall(SYS_gettid)), 19);
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(DISCOVERY_RECV_PORT);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (long n = 0; n < count; ++n) {
        DISCOVERY_DATA reply = ZeroRecord();
        reply.nType = DISCOVERY_REPLY;
        fill(reply, n);
        ::sendto(fd, &reply, sizeof reply, 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
        ++sent;
    }
    ::close(fd);
}

} // namespace bench
