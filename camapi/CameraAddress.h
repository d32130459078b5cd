#pragma once
// The one way a camera's IP text becomes the host of an address this program dials or
// hands to the browser: read as a dotted quad and written back in its own digits, so the
// address holds four decimal numbers and dots and no byte of the camera's text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class CCameraAddress final {
public:
    // Nothing unless the text is a dotted quad as ParseIpv4 reads it: a text that also
    // names a port, a login, a path or another host names no camera at all.
    static std::optional<CCameraAddress> FromText(std::string_view ip);

    // "scheme://a.b.c.d", then ":port" when one is given, then the path and query as
    // they are.
    std::string Url(std::string_view scheme, std::optional<std::uint16_t> port, std::string_view pathAndQuery) const;

private:
    explicit CCameraAddress(std::uint32_t address) : m_nAddress(address) {}

    std::uint32_t m_nAddress;
};
