#pragma once
// The two login tests the device actions run before they touch a camera.

#include "camapi/VantoHttpApi.h"

#include <cstdint>
#include <string>
#include <vector>

// The login every camera takes when it leaves the factory.
inline constexpr const char *DEFAULT_USER_ID = "admin";
inline constexpr const char *DEFAULT_PASSWORD = "vqxnt";

// The codec the login check switches every channel away from, to codec 1.
inline constexpr std::int32_t kCodecToReplace = 3;

// A camera's video settings, read with a login.
struct ChannelReading {
    API_RESULT result;
    VIDEO_CONFIG records[VIDEO_CONFIG_MAX_RECORDS] = {};
    std::int32_t count = 0;
};

ChannelReading ReadCameraChannels(const std::string &ip, const std::string &user, const std::string &password);

// What the login check saw: the reading that proves the login, and the channels on
// codec 3 that the camera took codec 1 for or refused it.
struct LoginCheckResult {
    API_RESULT reading;
    std::vector<std::int32_t> switchedChannels;
    std::int32_t switchFailures = 0; // the refused switches' result codes, or-ed
    bool Passed() const { return reading.nCode == API_SUCCESS && switchFailures == 0; }
    explicit operator bool() const { return Passed(); }
};

// Proves that the login opens the camera's video settings and, on the way, switches
// every channel on codec 3 to codec 1. Passed when the reading and every switch
// succeeded.
LoginCheckResult CheckLoginAndUpdateCodec(const std::string &ip, const std::string &user, const std::string &password);
// What the user is told of a check that did not pass: the camera's own failure text for
// the reading, else "Update codec failed."; empty when it passed.
std::string LoginCheckMessage(const LoginCheckResult &check);

// True unless the camera refused the factory login or could not be reached (an address
// that is not a dotted quad reaches nothing).
bool AcceptsDefaultLogin(const std::string &ip);
