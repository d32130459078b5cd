// The hand-over of one camera to the HALVEX video management system on this computer:
// its address and login under the system's temporary-settings key, with the flag that
// says a camera waits. Every start clears the flag.
#include "app/Dialogs.h"
#include "app/LanscoutDlg.h"
#include "camapi/LoginCheck.h"
#include "platform/Latin1Text.h"
#include "platform/MessageBox.h"
#include "vms/VantoRegistry.h"

#include <QLineEdit>

namespace {

struct HandOver {
    std::string ip;
    std::string user;
    std::string password;
    std::uint32_t httpPort;
};

// The five values in the order the management system expects them; false unless all
// were written. A hand-over that fails halfway takes its flag back, so the management
// system never picks up a camera whose values are half old, half new.
bool WriteHandOver(CVantoRegistry &registry, const HandOver &camera)
{
    const bool written = registry.IsOpen() && registry.WriteDword("IPCameraNeedSaveToHalvex", 1) == ERROR_SUCCESS &&
                         registry.WriteString("IPCameraAddress", camera.ip, false) == ERROR_SUCCESS &&
                         registry.WriteString("IPCameraUserName", camera.user, false) == ERROR_SUCCESS &&
                         registry.WriteString("IPCameraPassword", camera.password, false) == ERROR_SUCCESS &&
                         registry.WriteDword("IPCameraHTTPPort", camera.httpPort) == ERROR_SUCCESS;
    if (!written && registry.IsOpen())
        registry.WriteDword("IPCameraNeedSaveToHalvex", 0);
    return written;
}

} // namespace

void CLanscoutDlg::ClearSaveRequest()
{
    CVantoRegistry registry(REG_KEY_TEMP_SETTINGS, KEY_ALL_ACCESS, HKEY_LOCAL_MACHINE);
    registry.WriteDword("IPCameraNeedSaveToHalvex", 0);
}

void CLanscoutDlg::OnSaveToHalvex()
{
    CVantoRegistry registry(REG_KEY_TEMP_SETTINGS, KEY_ALL_ACCESS, HKEY_LOCAL_MACHINE);
    HandOver camera{Latin1(m_editIP->text()), Latin1(m_editUserID->text()), Latin1(m_editPassword->text()),
                    std::uint32_t(m_nHttpPort)};
    if (camera.ip.empty()) {
        ShowMessage("Please select a camera to save again.");
        return;
    }
    if (AcceptsDefaultLogin(camera.ip)) {
        CheckLoginAndUpdateCodec(camera.ip, DEFAULT_USER_ID, DEFAULT_PASSWORD, 0);
        const std::optional<std::string> newPassword = ForceNewPassword(camera.ip);
        if (!newPassword)
            return;
        camera.user = DEFAULT_USER_ID;
        camera.password = *newPassword;
    } else if (!camera.user.empty() && !camera.password.empty()) {
        CheckLoginAndUpdateCodec(camera.ip, camera.user, camera.password, 0);
    }
    if (!WriteHandOver(registry, camera)) {
        ShowMessage("The camera was not handed over to HALVEX: its settings could not be written to " +
                    RegistryKeyFolder(REG_KEY_TEMP_SETTINGS) + ".");
        return;
    }
    OnOK();
}
