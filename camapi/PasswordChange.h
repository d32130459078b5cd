#pragma once
// A camera's new password: the rule it must meet, and the change on the camera's web port.
// Shared by the password dialog and the command line.

#include "camapi/VantoHttpApi.h"

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::size_t kMinPasswordChars = 8;
inline constexpr std::size_t kMaxPasswordChars = 30;

// The user's text for why the new password cannot be set, or nullptr when it can.
const char *NewPasswordProblem(std::string_view newPassword, std::string_view confirmation);

// Logs in with the current password and gives the user the new one.
API_RESULT ChangeCameraPassword(const std::string &ip, const std::string &user, const std::string &currentPassword,
                                const std::string &newPassword);
