#include "inventory/DeviceIndex.h"

std::string CDeviceIndex::Key(const CameraProtocol &protocol, const std::string &identity)
{
    if (identity.empty())
        return {};
    return protocol + '\0' + identity; // a protocol's name holds no NUL
}

void CDeviceIndex::Add(const Camera &camera)
{
    if (const std::string key = Key(camera.protocol, camera.identity); !key.empty())
        ++m_counts[key];
}

void CDeviceIndex::Remove(const Camera &camera)
{
    const auto it = m_counts.find(Key(camera.protocol, camera.identity));
    if (it != m_counts.end() && --it->second == 0)
        m_counts.erase(it);
}

void CDeviceIndex::Clear()
{
    m_counts.clear();
}

bool CDeviceIndex::Contains(const CameraProtocol &protocol, const std::string &identity) const
{
    const std::string key = Key(protocol, identity);
    return !key.empty() && m_counts.count(key) > 0;
}
