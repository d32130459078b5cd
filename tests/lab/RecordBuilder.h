#pragma once
// Discovery records for lab tests, written and read byte by byte at the wire format's
// offsets, so that what a test expects never comes from the product's own record code.
// Reads stop at the end of the bytes actually received.

#include "platform/MD5.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lab {

using Record = std::vector<std::uint8_t>;

inline constexpr std::size_t kRecordSize = 371;

inline constexpr std::int32_t kSearch = 3;
inline constexpr std::int32_t kReply = 4;
inline constexpr std::int32_t kSetConfig = 5;
inline constexpr std::int32_t kReboot = 6;
inline constexpr std::int32_t kFactoryReset = 7;

// Offsets and widths of the fields.
namespace at {
inline constexpr std::size_t kType = 0, kResult = 4, kUserId = 8, kDigest = 40, kMac = 72, kProduct = 96,
                             kFirmware = 192, kIpMode = 228, kIp = 232, kMask = 264, kGateway = 296, kDns = 328,
                             kHttpPort = 360, kDataPort = 362, kRtspPort = 364, kAudioRecvPort = 366,
                             kAudioSendPort = 368, kHttps = 370;
inline constexpr std::size_t kUserIdWidth = 32, kMacWidth = 24, kProductWidth = 96, kFirmwareWidth = 36,
                             kAddressWidth = 32;
} // namespace at

inline void PutI32(Record &r, std::size_t offset, std::int32_t value)
{
    const auto bits = std::uint32_t(value);
    for (std::size_t i = 0; i < 4; ++i)
        r.at(offset + i) = std::uint8_t(bits >> (8 * i));
}

inline void PutU16(Record &r, std::size_t offset, std::uint16_t value)
{
    r.at(offset) = std::uint8_t(value);
    r.at(offset + 1) = std::uint8_t(value >> 8);
}

// The characters, cut to the slot, and a NUL when there is room for one: a text of the
// slot's full width goes without one.
inline void PutText(Record &r, std::size_t offset, std::size_t width, std::string_view text)
{
    const std::size_t n = std::min(text.size(), width);
    for (std::size_t i = 0; i < n; ++i)
        r.at(offset + i) = std::uint8_t(text[i]);
    if (n < width)
        r.at(offset + n) = 0;
}

inline std::int32_t GetI32(const Record &r, std::size_t offset)
{
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 4; ++i)
        bits |= std::uint32_t(r.at(offset + i)) << (8 * i);
    return std::int32_t(bits);
}

inline std::uint16_t GetU16(const Record &r, std::size_t offset)
{
    return std::uint16_t(r.at(offset) | r.at(offset + 1) << 8);
}

inline std::string GetText(const Record &r, std::size_t offset, std::size_t width)
{
    std::string text;
    for (std::size_t i = offset; i < offset + width && i < r.size() && r[i] != 0; ++i)
        text += char(r[i]);
    return text;
}

inline std::string MacOf(const Record &r)
{
    return GetText(r, at::kMac, at::kMacWidth);
}

inline std::string IpOf(const Record &r)
{
    return GetText(r, at::kIp, at::kAddressWidth);
}

// User ID, then the MD5 digest of the password's characters and its NUL in bytes
// 40..55, bytes 56..71 zero.
inline void PutLogin(Record &r, const std::string &user, const std::string &password)
{
    std::fill(r.begin() + at::kUserId, r.begin() + at::kMac, 0);
    PutText(r, at::kUserId, at::kUserIdWidth - 1, user);
    CMD5 md5;
    md5.Update(password.c_str(), password.size() + 1);
    md5.Final(&r.at(at::kDigest));
}

inline Record SearchRequest()
{
    Record r(kRecordSize, 0);
    PutI32(r, at::kType, kSearch);
    return r;
}

// The settings part of a command; the defaults suit the lab's network.
struct NetworkFields {
    std::int32_t ipMode = 0;
    std::string ip = "10.77.1.50";
    std::string mask = "255.255.252.0";
    std::string gateway = "10.77.0.1";
    std::string dns = "10.77.0.1";
    std::uint16_t httpPort = 8080;
    std::uint16_t dataPort = 4520;
    std::uint16_t rtspPort = 554;
    std::uint16_t audioRecvPort = 4522;
    std::uint16_t audioSendPort = 4521;
    std::uint8_t https = 0;
};

// A set-configuration, reboot or factory-reset command for the camera with this MAC.
inline Record Command(std::int32_t type, const std::string &mac, const std::string &user,
                      const std::string &password, const NetworkFields &f = {})
{
    Record r(kRecordSize, 0);
    PutI32(r, at::kType, type);
    PutLogin(r, user, password);
    PutText(r, at::kMac, at::kMacWidth, mac);
    PutI32(r, at::kIpMode, f.ipMode);
    PutText(r, at::kIp, at::kAddressWidth, f.ip);
    PutText(r, at::kMask, at::kAddressWidth, f.mask);
    PutText(r, at::kGateway, at::kAddressWidth, f.gateway);
    PutText(r, at::kDns, at::kAddressWidth, f.dns);
    PutU16(r, at::kHttpPort, f.httpPort);
    PutU16(r, at::kDataPort, f.dataPort);
    PutU16(r, at::kRtspPort, f.rtspPort);
    PutU16(r, at::kAudioRecvPort, f.audioRecvPort);
    PutU16(r, at::kAudioSendPort, f.audioSendPort);
    r.at(at::kHttps) = f.https;
    return r;
}

} // namespace lab
