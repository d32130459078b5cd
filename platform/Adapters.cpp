#include "platform/Adapters.h"

#include "platform/AdaptersSystem.h"

#include <algorithm>

namespace {

bool Listed(const std::vector<AdapterEntry> &adapters, const std::string &name)
{
    return std::any_of(adapters.begin(), adapters.end(), [&](const AdapterEntry &e) { return e.name == name; });
}

std::vector<AdapterEntry> ReadAdapters()
{
    std::vector<AdapterEntry> adapters;
    std::vector<AdapterEntry> loopbacks;
    for (const SystemAddress &a : ReadSystemAddresses()) {
        auto &target = a.loopback ? loopbacks : adapters;
        if (!Listed(target, a.adapter)) // first address only
            target.push_back({a.adapter, a.address});
    }
    adapters.insert(adapters.end(), loopbacks.begin(), loopbacks.end());
    return adapters;
}

} // namespace

const std::vector<AdapterEntry> &SystemAdapters()
{
    static const std::vector<AdapterEntry> adapters = ReadAdapters();
    return adapters;
}
