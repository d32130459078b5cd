#include "camapi/PasswordChange.h"

const char *NewPasswordProblem(std::string_view newPassword, std::string_view confirmation)
{
    if (newPassword.size() < kMinPasswordChars || newPassword.size() > kMaxPasswordChars)
        return "Password must be 8 to 30 characters!";
    if (confirmation != newPassword)
        return "Please confirm your input passwords are identical!";
    return nullptr;
}

API_RESULT ChangeCameraPassword(const std::string &ip, const std::string &user, const std::string &currentPassword,
                                const std::string &newPassword)
{
    CVantoHttpApi api;
    api.SetHost(CCameraAddress::FromText(ip));
    api.SetCredentials(user, currentPassword);
    return api.ChangePassword(newPassword);
}
