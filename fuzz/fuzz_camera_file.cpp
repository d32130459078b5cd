// camsim's camera file reader fed any file. The first byte picks the prefix length
// (1 to 32, as camsim's --prefix takes it), the rest is the file. Refusing a file is a
// std::runtime_error; anything else that escapes is a fault.

#include "discovery/DiscoveryData.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTempFile.h"
#include "tools/camsim/Camera.h"

#include <cstdint>
#include <stdexcept>

namespace {

// A text fits a record slot with room for its NUL.
template <std::size_t N>
bool FitsSlot(const std::string &text, const char (&)[N])
{
    return text.size() < N;
}

// What the discovery record and the video page take from a loaded camera must fit them.
void CheckLoadedCamera(const SimCamera &camera)
{
    const DISCOVERY_DATA slots{};
    FUZZ_CHECK(!camera.mac.empty() && FitsSlot(camera.mac, slots.szMAC));
    FUZZ_CHECK(FitsSlot(camera.model, slots.szProductName) && FitsSlot(camera.firmware, slots.szFirmwareVersion));
    FUZZ_CHECK(FitsSlot(camera.login.user, slots.szUserID) && camera.login.password.size() <= CREDENTIAL_MAX_CHARS);
    FUZZ_CHECK(!camera.network.ip.empty() && !camera.network.mask.empty());
    FUZZ_CHECK(!camera.channels.empty() && camera.channels.size() <= kMaxChannels);
    FUZZ_CHECK(camera.lockedChannels.empty() || *camera.lockedChannels.rbegin() < camera.channels.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    static CFuzzTempFile file;
    const int prefixLength = 1 + data[0] % 32;
    const std::string &path = file.Write(data + 1, size - 1);
    try {
        for (const SimCamera &camera : LoadCameras(path, prefixLength))
            CheckLoadedCamera(camera);
    } catch (const std::runtime_error &) {
        // The reader's way of refusing a file.
    }
    return 0;
}
