#pragma once
// Where a discovery session lists the cameras that answered a sweep, in arrival order:
// the window's device list and view, or a plain collection for a program without one.

#include "discovery/DiscoveryData.h"
#include "inventory/DeviceIndex.h"

#include <cstddef>
#include <vector>

class IDeviceListing {
public:
    virtual std::size_t ListedDeviceCount() const = 0;
    // A camera with the same MAC and IP, neither empty, is listed already.
    virtual bool IsDeviceListed(const DISCOVERY_DATA &record) const = 0;
    virtual void ListDevice(const DISCOVERY_DATA &record) = 0;

protected:
    ~IDeviceListing() = default;
};

class CDeviceCollection final : public IDeviceListing {
public:
    std::size_t ListedDeviceCount() const override { return m_devices.size(); }
    bool IsDeviceListed(const DISCOVERY_DATA &record) const override { return m_index.Contains(record); }
    void ListDevice(const DISCOVERY_DATA &record) override
    {
        m_devices.push_back(record);
        m_index.Add(record);
    }
    // Empties the list for the next sweep.
    void Clear()
    {
        m_devices.clear();
        m_index.Clear();
    }
    // The listed cameras, first to answer first.
    const std::vector<DISCOVERY_DATA> &Devices() const { return m_devices; }

private:
    std::vector<DISCOVERY_DATA> m_devices;
    CDeviceIndex m_index;
};
