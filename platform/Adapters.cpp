#include "platform/Adapters.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>

namespace {

std::vector<AdapterEntry> ReadAdapters()
{
    std::vector<AdapterEntry> adapters;
    std::vector<AdapterEntry> loopbacks;
    ifaddrs *list = nullptr;
    if (::getifaddrs(&list) != 0)
        return adapters;
    for (const ifaddrs *a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || !a->ifa_name)
            continue;
        auto &target = (a->ifa_flags & IFF_LOOPBACK) ? loopbacks : adapters;
        const bool listed = std::any_of(target.begin(), target.end(),
                                        [&](const AdapterEntry &e) { return e.name == a->ifa_name; });
        if (listed)
            continue; // first address only
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in *>(a->ifa_addr)->sin_addr, text, sizeof text);
        target.push_back({a->ifa_name, text});
    }
    ::freeifaddrs(list);
    adapters.insert(adapters.end(), loopbacks.begin(), loopbacks.end());
    return adapters;
}

} // namespace

const std::vector<AdapterEntry> &SystemAdapters()
{
    static const std::vector<AdapterEntry> adapters = ReadAdapters();
    return adapters;
}
