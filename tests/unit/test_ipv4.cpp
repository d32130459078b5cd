// The one reader of dotted-quad texts, which sockets, plans and camsim all go by: what it
// takes must be exactly what inet_pton takes, on every system.
#include "platform/Ipv4.h"

#include <gtest/gtest.h>

TEST(Ipv4, ReadsStrictDottedQuadsOnly)
{
    const struct {
        const char *text;
        std::optional<std::uint32_t> address;
    } cases[] = {
        {"10.77.0.1", 0x0A4D0001u},
        {"0.0.0.0", 0u},
        {"255.255.255.255", 0xFFFFFFFFu},
        {"10.77.0.01", std::nullopt}, // a leading zero: octal to some readers
        {"10.77.0.256", std::nullopt},
        {"10.77.0", std::nullopt},
        {"10.77.0.1.5", std::nullopt},
        {"10.77..1", std::nullopt},
        {"10.77.0.1.", std::nullopt},
        {" 10.77.0.1", std::nullopt},
        {"10.77.0.1 ", std::nullopt},
        {"10.77.0.+1", std::nullopt},
        {"1000.0.0.1", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseIpv4(c.text), c.address);
        if (c.address) {
            EXPECT_EQ(FormatIpv4(*c.address), c.text);
        }
    }
}
