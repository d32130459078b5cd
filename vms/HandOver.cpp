#include "vms/HandOver.h"

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
