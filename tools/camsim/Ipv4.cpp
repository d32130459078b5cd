#include "tools/camsim/Ipv4.h"

#include <arpa/inet.h>

std::optional<std::uint32_t> ParseIpv4(const std::string &text)
{
    in_addr address{};
    if (inet_pton(AF_INET, text.c_str(), &address) != 1)
        return std::nullopt;
    return ntohl(address.s_addr);
}

std::string FormatIpv4(std::uint32_t address)
{
    in_addr network{};
    network.s_addr = htonl(address);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &network, text, sizeof text);
    return text;
}

std::uint32_t MaskOfPrefix(int prefixLength)
{
    return prefixLength <= 0 ? 0 : ~std::uint32_t(0) << (32 - prefixLength);
}

bool IsContiguousMask(std::uint32_t mask)
{
    const std::uint32_t hostBits = ~mask;
    return mask != 0 && (hostBits & (hostBits + 1)) == 0;
}

bool IsUnicastHost(std::uint32_t address)
{
    const std::uint32_t firstOctet = address >> 24;
    return firstOctet != 0 && firstOctet != 127 && firstOctet < 224;
}

bool IsHostOfSubnet(std::uint32_t address, std::uint32_t mask)
{
    const std::uint32_t hostBits = ~mask;
    if (hostBits <= 1)
        return true;
    const std::uint32_t host = address & hostBits;
    return host != 0 && host != hostBits;
}
