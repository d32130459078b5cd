#include "addressing/AddressCounter.h"

#include "platform/Ipv4.h"

AddressSeries CountAddresses(std::uint32_t start, std::uint32_t mask, std::size_t cameras,
                             const std::set<std::uint32_t> &taken,
                             const std::vector<std::optional<std::uint32_t>> &current)
{
    AddressSeries series;
    const std::uint64_t last = start | ~mask; // counted wide: the last of 255.255.255.255/32 ends the loop
    for (std::uint64_t next = start; series.addresses.size() < cameras && next <= last; ++next) {
        const auto address = std::uint32_t(next);
        const std::size_t camera = series.addresses.size();
        const bool owns = camera < current.size() && current[camera] == address;
        if (IsHostOfSubnet(address, mask) && (owns || !taken.contains(address)))
            series.addresses.push_back(address);
    }
    if (series.addresses.size() < cameras)
        series.problem = "the subnet has " + std::to_string(series.addresses.size()) + " free addresses from " +
                         FormatIpv4(start) + " to " + FormatIpv4(std::uint32_t(last)) + ", not one for each of the " +
                         std::to_string(cameras) + " cameras";
    return series;
}
