#include "camapi/CameraAddress.h"

#include "platform/Ipv4.h"

std::optional<CCameraAddress> CCameraAddress::FromText(std::string_view ip)
{
    const std::optional<std::uint32_t> address = ParseIpv4(ip);
    if (!address)
        return std::nullopt;
    return CCameraAddress(*address);
}

std::string CCameraAddress::Url(std::string_view scheme, std::optional<std::uint16_t> port,
                                std::string_view pathAndQuery) const
{
    // Appended piece by piece: GCC 12 takes "://" + text for an overlapping copy (-Wrestrict).
    std::string url(scheme);
    url += "://";
    url += FormatIpv4(m_nAddress);
    if (port) {
        url += ':';
        url += std::to_string(*port);
    }
    url += pathAndQuery;
    return url;
}
