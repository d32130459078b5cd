// The hand-over of one camera to the HALVEX video management system on this computer:
// its address and login under the system's temporary-settings key, with the flag that
// says a camera waits. Every start clears the flag.
#include "app/LanscoutDlg.h"
#include "camapi/LoginCheck.h"
#include "platform/DebugOutput.h"
#include "platform/Latin1Text.h"
#include "platform/MessageBox.h"
#include "vms/HandOver.h"
#include "vms/VantoRegistry.h"

#include <QLineEdit>

void CLanscoutDlg::ClearSaveRequest()
{
    // Whatever another account left in the store, the window starts as usual.
    if (const StoreWriteResult cleared = ClearHandOverRequest(); !cleared.written)
        OutputDebugStringA("The hand-over flag was not cleared: " + cleared.problem);
}

void CLanscoutDlg::OnSaveToHalvex()
{
    CVantoRegistry registry(REG_KEY_TEMP_SETTINGS, KEY_ALL_ACCESS, HKEY_LOCAL_MACHINE);
    CameraHandOver camera{Latin1(m_editIP->text()), Latin1(m_editUserID->text()), Latin1(m_editPassword->text()),
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
    if (const StoreWriteResult handedOver = WriteHandOver(registry, camera); !handedOver.written) {
        ShowMessage("The camera was not handed over to HALVEX: " + handedOver.problem + ".");
        return;
    }
    OnOK();
}
