#include "vms/HandOver.h"

#include "camapi/LoginCheck.h"
#include "discovery/DevicePanel.h"
#include "vms/VantoRegistry.h"

#include <chrono>
#include <vector>

namespace {

constexpr const char *kFlagName = "IPCameraNeedSaveToHalvex";
// Long enough for another copy's hand-over to finish, short enough that nobody waits
// for a start-up that a stuck lock would otherwise hold up.
constexpr std::chrono::milliseconds kStartUpLockWait{250};

StoreWriteResult Outcome(const CVantoRegistry &registry, long code)
{
    if (code == REGISTRY_SUCCESS)
        return {true, {}};
    return {false, registry.LastProblem()};
}

} // namespace

StoreWriteResult WriteHandOver(CVantoRegistry &registry, const CameraHandOver &camera)
{
    const std::vector<RegistryValue> values = {
        RegistryValue::String("IPCameraAddress", camera.ip, false),
        RegistryValue::String("IPCameraUserName", camera.user, false),
        RegistryValue::String("IPCameraPassword", camera.password, false),
        RegistryValue::Dword("IPCameraHTTPPort", camera.httpPort),
    };
    const StoreWriteResult result = Outcome(registry, registry.WriteValuesUnderFlag(kFlagName, values));
    // A flag left at 1 would hand over whichever camera the values last named.
    if (!result.written && registry.IsOpen())
        registry.WriteDword(kFlagName, 0);
    return result;
}

StoreWriteResult CHandOverStore::Write(const CameraHandOver &camera) const
{
    CVantoRegistry registry(m_root, REG_KEY_TEMP_SETTINGS, RegistryAccess::All, RegistryHive::LocalMachine);
    return WriteHandOver(registry, camera);
}

StoreWriteResult CHandOverStore::ClearRequest() const
{
    CVantoRegistry registry(m_root, REG_KEY_TEMP_SETTINGS, RegistryAccess::All, RegistryHive::LocalMachine);
    registry.SetLockWait(kStartUpLockWait);
    return Outcome(registry, registry.WriteDword(kFlagName, 0));
}

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
