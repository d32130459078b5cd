#pragma once
// Where a protocol lists the cameras that answered a sweep, in arrival order: the
// window's device list, or a plain collection for a program without one (both in
// inventory/).

#include "camera/Camera.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

// A flood of forged replies must not exhaust memory: a list holds at most this many
// cameras, and a sweep's later replies are dropped.
inline constexpr std::uint32_t kMaxListedCameras = 65536;

class IDeviceListing {
public:
    virtual std::size_t ListedDeviceCount() const = 0;
    // A camera of the protocol with that identity (Camera::identity) is listed already.
    virtual bool IsDeviceListed(const CameraProtocol &protocol, const std::string &identity) const = 0;
    virtual void ListDevice(Camera camera) = 0;
    // Empties the list for a new search.
    virtual void Clear() = 0;

protected:
    ~IDeviceListing() = default;
};

// Lists the camera unless the list is full; one left out is counted in dropped.
inline void ListUnlessFull(IDeviceListing &listing, Camera camera, std::uint64_t &dropped)
{
    if (listing.ListedDeviceCount() >= kMaxListedCameras)
        ++dropped;
    else
        listing.ListDevice(std::move(camera));
}
