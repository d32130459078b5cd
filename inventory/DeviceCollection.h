#pragma once
// The cameras of a sweep for a program without a window: a plain collection in arrival
// order, with the same duplicate rule as the window's list.

#include "camera/DeviceListing.h"
#include "inventory/DeviceIndex.h"

#include <vector>

class CDeviceCollection final : public IDeviceListing {
public:
    std::size_t ListedDeviceCount() const override { return m_devices.size(); }
    bool IsDeviceListed(const CameraProtocol &protocol, const std::string &identity) const override
    {
        return m_index.Contains(protocol, identity);
    }
    void ListDevice(Camera camera) override
    {
        m_index.Add(camera);
        m_devices.push_back(std::move(camera));
    }
    void Clear() override
    {
        m_devices.clear();
        m_index.Clear();
    }
    // The listed cameras, first to answer first.
    const std::vector<Camera> &Devices() const { return m_devices; }

private:
    std::vector<Camera> m_devices;
    CDeviceIndex m_index;
};
