#include "site/DevicePanel.h"

#include "camapi/LoginCheck.h"

std::optional<std::string> ForceNewPassword(IUserInteraction &user, IDevicePanel &panel, const std::string &ip)
{
    user.ShowMessage("Please change the default password.");
    std::optional<std::string> password = user.AskNewPassword(ip, DEFAULT_USER_ID, DEFAULT_PASSWORD);
    if (password)
        panel.SetLogin({DEFAULT_USER_ID, *password});
    return password;
}
