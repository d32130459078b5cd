// The adapters' addresses on Windows: GetAdaptersAddresses, IPv4 only, each adapter
// under the name the network settings show (its friendly name), in UTF-8.
#include "platform/AdaptersSystem.h"

#include "platform/WideText.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <cstdint>

namespace {

std::string FriendlyName(const IP_ADAPTER_ADDRESSES &adapter)
{
    return adapter.FriendlyName ? Utf8FromWide(adapter.FriendlyName) : std::string();
}

std::string DottedText(const sockaddr *address)
{
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in *>(address)->sin_addr, text, sizeof text);
    return text;
}

// The system's adapter list, in storage aligned for it; empty when it cannot be read.
std::vector<std::uint64_t> AdapterList()
{
    constexpr ULONG kFlags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG size = 16 * 1024;
    std::vector<std::uint64_t> storage;
    // An adapter may appear between the call that sizes the list and the one that fills it.
    for (int attempt = 0; attempt < 3; ++attempt) {
        storage.assign(size / sizeof(std::uint64_t) + 1, 0);
        const ULONG result = ::GetAdaptersAddresses(AF_INET, kFlags, nullptr,
                                                    reinterpret_cast<IP_ADAPTER_ADDRESSES *>(storage.data()), &size);
        if (result == NO_ERROR)
            return storage;
        if (result != ERROR_BUFFER_OVERFLOW)
            break;
    }
    return {};
}

} // namespace

std::vector<SystemAddress> ReadSystemAddresses()
{
    std::vector<SystemAddress> addresses;
    const std::vector<std::uint64_t> list = AdapterList();
    if (list.empty())
        return addresses;
    for (const IP_ADAPTER_ADDRESSES *a = reinterpret_cast<const IP_ADAPTER_ADDRESSES *>(list.data()); a; a = a->Next) {
        const bool loopback = a->IfType == IF_TYPE_SOFTWARE_LOOPBACK;
        for (const IP_ADAPTER_UNICAST_ADDRESS *u = a->FirstUnicastAddress; u; u = u->Next) {
            const sockaddr *address = u->Address.lpSockaddr;
            if (address && address->sa_family == AF_INET)
                addresses.push_back({FriendlyName(*a), DottedText(address), loopback});
        }
    }
    return addresses;
}
