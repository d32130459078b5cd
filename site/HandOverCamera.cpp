#include "site/HandOverCamera.h"

#include "camapi/LoginCheck.h"

// The login check runs for its codec switch; the management system can still be given
// a camera whose login this program could not prove.
bool HandOverCamera(const CHandOverStore &store, IUserInteraction &user, IDevicePanel &panel, CameraHandOver camera)
{
    if (camera.ip.empty()) {
        user.ShowMessage("Please select a camera to save again.");
        return false;
    }
    bool factoryLogin = false;
    user.RunBusy([&] { factoryLogin = AcceptsDefaultLogin(camera.ip); });
    if (factoryLogin) {
        user.RunBusy([&] { CheckLoginAndUpdateCodec(camera.ip, DEFAULT_USER_ID, DEFAULT_PASSWORD); });
        const std::optional<std::string> newPassword = ForceNewPassword(user, panel, camera.ip);
        if (!newPassword)
            return false;
        camera.user = DEFAULT_USER_ID;
        camera.password = *newPassword;
    } else if (!camera.user.empty() && !camera.password.empty()) {
        user.RunBusy([&] { CheckLoginAndUpdateCodec(camera.ip, camera.user, camera.password); });
    }
    if (const StoreWriteResult handedOver = store.Write(camera); !handedOver.written) {
        user.ShowMessage("The camera was not handed over to HALVEX: " + handedOver.problem + ".");
        return false;
    }
    return true;
}
