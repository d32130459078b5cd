#pragma once
// The MAC and IP pairs of the listed devices, so the duplicate test of each reply does
// not walk the whole device list: with a thousand cameras answering five searches
// that walk would cost the window seconds. Gives the same answers as the walk: a
// device is listed when a listed record has the same MAC and IP, neither empty.

#include "discovery/DiscoveryData.h"

#include <string>
#include <unordered_map>

class CDeviceIndex final {
public:
    void Add(const DISCOVERY_DATA &record);
    void Remove(const DISCOVERY_DATA &record);
    void Clear();
    bool Contains(const DISCOVERY_DATA &record) const;

private:
    // Empty when the record can never be a duplicate.
    static std::string Key(const DISCOVERY_DATA &record);

    std::unordered_map<std::string, int> m_counts;
};
