#include "inventory/DeviceIndex.h"

void CDeviceIndex::Add(const Camera &camera)
{
    if (!camera.identity.empty())
        ++m_byProtocol[camera.protocol][camera.identity];
}

void CDeviceIndex::Remove(const Camera &camera)
{
    const auto protocol = m_byProtocol.find(camera.protocol);
    if (protocol == m_byProtocol.end())
        return;
    const auto it = protocol->second.find(camera.identity);
    if (it != protocol->second.end() && --it->second == 0)
        protocol->second.erase(it);
}

void CDeviceIndex::Clear()
{
    m_byProtocol.clear();
}

bool CDeviceIndex::Contains(const CameraProtocol &protocol, const std::string &identity) const
{
    if (identity.empty())
        return false;
    const auto counts = m_byProtocol.find(protocol);
    return counts != m_byProtocol.end() && counts->second.count(identity) > 0;
}
