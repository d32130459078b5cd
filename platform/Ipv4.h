#pragma once
// Dotted-quad address texts and the arithmetic on them, in host byte order.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The address of a dotted-quad text: four decimal parts of 0 to 255, without leading
// zeros (some readers take "010" for octal 8, so the address meant would be in doubt),
// as inet_pton reads it; the same rule on every system. Nothing for any other text.
std::optional<std::uint32_t> ParseIpv4(std::string_view text);
std::string FormatIpv4(std::uint32_t address);
std::uint32_t MaskOfPrefix(int prefixLength);
// A non-zero mask made of leading ones only.
bool IsContiguousMask(std::uint32_t mask);
// Neither "this network" (0/8), loopback, multicast nor reserved.
bool IsUnicastHost(std::uint32_t address);
// Not the network or broadcast address of its subnet (which /31 and /32 do not have).
bool IsHostOfSubnet(std::uint32_t address, std::uint32_t mask);
// The number of leading ones of a contiguous mask.
int PrefixLength(std::uint32_t contiguousMask);
// The longest prefix a camera's subnet may have: a /31 or /32 leaves it no neighbour,
// not even a gateway.
inline constexpr int kLongestCameraPrefix = 30;
// A contiguous mask longer than kLongestCameraPrefix: its subnet has no room for a host
// beside the camera, so the camera could reach no gateway and no client.
bool LeavesNoNeighbour(std::uint32_t mask);
