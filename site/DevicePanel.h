#pragma once
// The window's details panel and login edits as the device actions and the hand-over see
// them: what the user typed, read when an action needs it.

#include "discovery/DiscoveryData.h"
#include "discovery/DiscoverySession.h"
#include "platform/UserInteraction.h"

#include <optional>
#include <string>

class IDevicePanel {
public:
    // The User ID and Password edits as they read now.
    virtual CommandLogin Login() const = 0;
    virtual void SetLogin(const CommandLogin &login) = 0;
    virtual void ClearPassword() = 0;
    // The panel's settings, read from its controls; nothing, once the user was told, when
    // a port edit holds no number.
    virtual std::optional<NetworkSettings> ReadSettings() = 0;
    // How many rows of the list are highlighted.
    virtual int HighlightedRows() const = 0;

protected:
    ~IDevicePanel() = default;
};

// Tells the user that the camera's factory password must go and has them replace it,
// logged in with the factory login. The change is made for the factory user, so that
// user goes into the login edits with the new password: every later step, and any
// retry, logs in as that pair. The new password, or none when the user did not change it.
std::optional<std::string> ForceNewPassword(IUserInteraction &user, IDevicePanel &panel, const std::string &ip);
