#include "inventory/DeviceIndex.h"

std::string CDeviceIndex::Key(const DISCOVERY_DATA &record)
{
    const std::string mac = SlotText(record.szMAC);
    const std::string ip = SlotText(record.szIP);
    if (mac.empty() || ip.empty())
        return {};
    return mac + '\0' + ip; // slot texts end at their first NUL, so a NUL separates them unambiguously
}

void CDeviceIndex::Add(const DISCOVERY_DATA &record)
{
    if (const std::string key = Key(record); !key.empty())
        ++m_counts[key];
}

void CDeviceIndex::Remove(const DISCOVERY_DATA &record)
{
    const auto it = m_counts.find(Key(record));
    if (it != m_counts.end() && --it->second == 0)
        m_counts.erase(it);
}

void CDeviceIndex::Clear()
{
    m_counts.clear();
}

bool CDeviceIndex::Contains(const DISCOVERY_DATA &record) const
{
    const std::string key = Key(record);
    return !key.empty() && m_counts.count(key) > 0;
}
