// The adapters' addresses on Linux: getifaddrs, one entry per interface address.
#include "platform/AdaptersSystem.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

std::vector<SystemAddress> ReadSystemAddresses()
{
    std::vector<SystemAddress> addresses;
    ifaddrs *list = nullptr;
    if (::getifaddrs(&list) != 0)
        return addresses;
    for (const ifaddrs *a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || !a->ifa_name)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in *>(a->ifa_addr)->sin_addr, text, sizeof text);
        addresses.push_back({a->ifa_name, text, (a->ifa_flags & IFF_LOOPBACK) != 0});
    }
    ::freeifaddrs(list);
    return addresses;
}
