#pragma once
// The discovery record: one 371-byte datagram, byte for byte the entry the device
// list keeps for each camera. Little-endian integers, dotted-decimal address texts,
// NUL-terminated texts in fixed slots.
//
//   0 nType   4 nResult   8 szUserID[32]   40 abPasswordDigest[32] (MD5 in 40..55)
//  72 szMAC[24]   96 szProductName[96]   192 szFirmwareVersion[36]   228 nIPMode
// 232 szIP[32]   264 szSubnetMask[32]   296 szGateway[32]   328 szDNS[32]
// 360 wHttpPort  362 wDataPort  364 wRtspPort  366 wAudioRecvPort  368 wAudioSendPort
// 370 bHttps

#include "camera/Camera.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

static_assert(std::endian::native == std::endian::little,
              "the record is read and written in place: little-endian hosts only");

inline constexpr std::size_t DISCOVERY_DATA_SIZE = 371;
inline constexpr std::uint16_t DISCOVERY_SEND_PORT = 40013; // requests, to the cameras
inline constexpr std::uint16_t DISCOVERY_RECV_PORT = 40014; // replies, to us
inline constexpr const char *DISCOVERY_BROADCAST_ADDRESS = "255.255.255.255";

enum : std::int32_t {
    DISCOVERY_SEARCH = 3,
    DISCOVERY_REPLY = 4,
    DISCOVERY_SET_CONFIG = 5,
    DISCOVERY_REBOOT = 6,
    DISCOVERY_FACTORY_RESET = 7,
};

enum : std::int32_t {
    RESULT_FAILED = 1,
    RESULT_INVALID_ADDRESS = 2,
    RESULT_INVALID_PORT = 3,
    RESULT_INVALID_CONFIG = 4,
    RESULT_LOGIN_FAILED = 5,
};

// Longest user ID or password a command carries; the slot keeps one byte for the NUL.
inline constexpr std::size_t CREDENTIAL_MAX_CHARS = 31;
// Longest address text written into a command.
inline constexpr std::size_t ADDRESS_MAX_CHARS = 31;

#pragma pack(push, 1)
struct DISCOVERY_DATA {
    std::int32_t nType;
    std::int32_t nResult;
    char szUserID[32];
    std::uint8_t abPasswordDigest[32];
    char szMAC[24];
    char szProductName[96];
    char szFirmwareVersion[36];
    std::int32_t nIPMode;
    char szIP[32];
    char szSubnetMask[32];
    char szGateway[32];
    char szDNS[32];
    std::uint16_t wHttpPort;
    std::uint16_t wDataPort;
    std::uint16_t wRtspPort;
    std::uint16_t wAudioRecvPort;
    std::uint16_t wAudioSendPort;
    std::uint8_t bHttps;
};
#pragma pack(pop)

static_assert(sizeof(DISCOVERY_DATA) == DISCOVERY_DATA_SIZE);
static_assert(offsetof(DISCOVERY_DATA, nType) == 0);
static_assert(offsetof(DISCOVERY_DATA, nResult) == 4);
static_assert(offsetof(DISCOVERY_DATA, szUserID) == 8);
static_assert(offsetof(DISCOVERY_DATA, abPasswordDigest) == 40);
static_assert(offsetof(DISCOVERY_DATA, szMAC) == 72);
static_assert(offsetof(DISCOVERY_DATA, szProductName) == 96);
static_assert(offsetof(DISCOVERY_DATA, szFirmwareVersion) == 192);
static_assert(offsetof(DISCOVERY_DATA, nIPMode) == 228);
static_assert(offsetof(DISCOVERY_DATA, szIP) == 232);
static_assert(offsetof(DISCOVERY_DATA, szSubnetMask) == 264);
static_assert(offsetof(DISCOVERY_DATA, szGateway) == 296);
static_assert(offsetof(DISCOVERY_DATA, szDNS) == 328);
static_assert(offsetof(DISCOVERY_DATA, wHttpPort) == 360);
static_assert(offsetof(DISCOVERY_DATA, wDataPort) == 362);
static_assert(offsetof(DISCOVERY_DATA, wRtspPort) == 364);
static_assert(offsetof(DISCOVERY_DATA, wAudioRecvPort) == 366);
static_assert(offsetof(DISCOVERY_DATA, wAudioSendPort) == 368);
static_assert(offsetof(DISCOVERY_DATA, bHttps) == 370);

// The text of a slot: up to the first NUL, never past the slot's end.
template <std::size_t N>
std::string SlotText(const char (&slot)[N])
{
    const char *end = std::find(slot, slot + N, '\0');
    return std::string(slot, end);
}

// Writes at most maxChars characters and a NUL; the rest of the slot keeps its bytes.
template <std::size_t N>
void WriteSlotText(char (&slot)[N], std::string_view text, std::size_t maxChars = N - 1)
{
    const std::size_t n = std::min({text.size(), maxChars, N - 1});
    std::memcpy(slot, text.data(), n);
    slot[n] = '\0';
}

// A record of all zero bytes.
DISCOVERY_DATA ZeroRecord();

// The search request: type 3, every other byte zero.
DISCOVERY_DATA MakeSearchRecord();

// Fills bytes 8..71: the user ID (cut to 31 characters) and the MD5 digest of the
// password's characters plus their terminating NUL; bytes 56..71 stay zero.
void FillCredentialBlock(DISCOVERY_DATA &record, std::string_view userId, std::string_view password);

// The 16-byte digest a command carries for this password.
void PasswordDigest(std::string_view password, std::uint8_t digest[16]);

// The user's text for a set-configuration result, or nullptr when none is shown.
const char *ResultMessage(std::int32_t nResult);
