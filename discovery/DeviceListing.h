#pragma once
// Where a discovery session lists the cameras that answered a sweep, in arrival order:
// the window's device list, or a plain collection for a program without one (both in
// inventory/).

#include "discovery/DiscoveryData.h"

#include <cstddef>

class IDeviceListing {
public:
    virtual std::size_t ListedDeviceCount() const = 0;
    // A camera with the same MAC and IP, neither empty, is listed already.
    virtual bool IsDeviceListed(const DISCOVERY_DATA &record) const = 0;
    virtual void ListDevice(const DISCOVERY_DATA &record) = 0;
    // Empties the list for a new search.
    virtual void Clear() = 0;

protected:
    ~IDeviceListing() = default;
};
