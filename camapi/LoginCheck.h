#pragma once
// The two login tests the device actions run before they touch a camera.

#include <cstdint>
#include <string>

// The login every camera takes when it leaves the factory.
inline constexpr const char *DEFAULT_USER_ID = "admin";
inline constexpr const char *DEFAULT_PASSWORD = "vqxnt";

// Proves that the login opens the camera's video settings and, on the way, switches
// every channel on codec 3 to codec 1. True when the reading and every switch
// succeeded. With show set, a failure is reported in a message box.
bool CheckLoginAndUpdateCodec(const std::string &ip, const std::string &user, const std::string &password,
                              std::int32_t show);

// True unless the camera refused the factory login or could not be reached.
bool AcceptsDefaultLogin(const std::string &ip);
