#pragma once
// The cameras of a sweep for a program without a window: a plain collection in arrival
// order, with the same duplicate rule as the window's list.

#include "discovery/DeviceListing.h"
#include "inventory/DeviceIndex.h"

#include <vector>

class CDeviceCollection final : public IDeviceListing {
public:
    std::size_t ListedDeviceCount() const override { return m_devices.size(); }
    bool IsDeviceListed(const DISCOVERY_DATA &record) const override { return m_index.Contains(record); }
    void ListDevice(const DISCOVERY_DATA &record) override
    {
        m_devices.push_back(record);
        m_index.Add(record);
    }
    void Clear() override
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
