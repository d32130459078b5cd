#include "platform/Ipv4.h"

#include <charconv>

std::optional<std::uint32_t> ParseIpv4(std::string_view text)
{
    const char *next = text.data();
    const char *const end = next + text.size();
    std::uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && (next == end || *next++ != '.'))
            return std::nullopt;
        unsigned value = 0;
        const auto [after, error] = std::from_chars(next, end, value);
        const std::ptrdiff_t digits = after - next;
        if (error != std::errc() || digits > 3 || (digits > 1 && *next == '0') || value > 255)
            return std::nullopt;
        address = (address << 8) | value;
        next = after;
    }
    if (next != end)
        return std::nullopt;
    return address;
}

std::string FormatIpv4(std::uint32_t address)
{
    return std::to_string(address >> 24) + '.' + std::to_string((address >> 16) & 0xff) + '.' +
           std::to_string((address >> 8) & 0xff) + '.' + std::to_string(address & 0xff);
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

int PrefixLength(std::uint32_t contiguousMask)
{
    int length = 0;
    for (std::uint32_t bit = 0x80000000u; bit & contiguousMask; bit >>= 1)
        ++length;
    return length;
}

bool LeavesNoNeighbour(std::uint32_t mask)
{
    return IsContiguousMask(mask) && PrefixLength(mask) > kLongestCameraPrefix;
}

bool IsHostOfSubnet(std::uint32_t address, std::uint32_t mask)
{
    const std::uint32_t hostBits = ~mask;
    if (hostBits <= 1)
        return true;
    const std::uint32_t host = address & hostBits;
    return host != 0 && host != hostBits;
}
