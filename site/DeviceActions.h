#pragma once
// The buttons that act on cameras of the list: Save, Reboot, Factory Reset and Change
// Password. Each first checks the choice and the login, and a camera still on its
// factory password must get a new one before it is configured. Free of Qt: the list
// gives the chosen cameras, the window the panel and the user; tests script them.

#include "inventory/CameraChoice.h"
#include "site/DevicePanel.h"
#include "site/DeviceSearch.h"

#include <cstdint>
#include <string>

class CDeviceActions final {
public:
    CDeviceActions(CDeviceSearch &search, ICameraChoice &choice, IDevicePanel &panel, IUserInteraction &user);

    void Save();
    void Reboot();
    void FactoryReset();
    void ChangePassword();

    // For a camera that still takes the factory login, the forced change; false when
    // the action must stop.
    bool ConfirmDefaultPassword();
    // New settings for the panel's camera, or a reboot or factory reset for the chosen
    // ones. False only when the panel's settings are not to be sent as they stand: a
    // port edit holds no number, or the user chose not to send a mask that would leave
    // the camera alone. The panel then stays as the user left it, to be mended.
    bool SendDeviceCommand(std::int32_t type);

private:
    struct ActionTarget {
        std::string ip; // of the camera in the details panel
        CommandLogin login;
    };
    std::string ActionCameraIp() const;
    // The checks every device action starts with; false once the user was told why.
    bool CheckActionTarget(ActionTarget &target);
    // The login check with its failure told to the user.
    bool CheckLogin(const ActionTarget &target);
    // A static camera's mask that leaves it no neighbour goes out only when the user says so.
    bool ConfirmMask(const NetworkSettings &settings);

    CDeviceSearch &m_search;
    ICameraChoice &m_choice;
    IDevicePanel &m_panel;
    IUserInteraction &m_user;
};
