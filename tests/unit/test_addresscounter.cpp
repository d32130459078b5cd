// The addresses a batch hands out: never one a camera already has, never the subnet's
// network or broadcast address, and never past the subnet's end.
#include "addressing/AddressCounter.h"
#include "platform/Ipv4.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Texts(const std::vector<std::uint32_t> &addresses)
{
    std::vector<std::string> texts;
    for (std::uint32_t address : addresses)
        texts.push_back(FormatIpv4(address));
    return texts;
}

std::uint32_t Ip(const char *text)
{
    return *ParseIpv4(text);
}

} // namespace

TEST(AddressCounter, SkipsTakenAndSubnetAddressesAndRunsOutRatherThanWrapping)
{
    const struct {
        const char *start, *mask;
        std::size_t cameras;
        std::set<std::uint32_t> taken;
        std::vector<std::string> given;
        const char *problem; // "" when every camera has one
    } cases[] = {
        {"10.77.1.10", "255.255.255.0", 3, {Ip("10.77.1.11")}, {"10.77.1.10", "10.77.1.12", "10.77.1.13"}, ""},
        {"10.77.1.0", "255.255.255.0", 2, {}, {"10.77.1.1", "10.77.1.2"}, ""},
        {"10.77.1.253", "255.255.255.0", 2, {}, {"10.77.1.253", "10.77.1.254"}, ""},
        {"10.77.1.253", "255.255.255.0", 3, {}, {"10.77.1.253", "10.77.1.254"},
         "the subnet has 2 free addresses from 10.77.1.253 to 10.77.1.255, not one for each of the 3 cameras"},
        {"10.77.1.1", "255.255.255.252", 3, {Ip("10.77.1.2")}, {"10.77.1.1"}, "has 1 free addresses"},
        {"10.77.0.255", "255.255.252.0", 2, {}, {"10.77.0.255", "10.77.1.0"}, ""}, // inside a /22
        {"10.77.1.4", "255.255.255.254", 2, {}, {"10.77.1.4", "10.77.1.5"}, ""},   // a /31 has no broadcast
        {"255.255.255.255", "255.255.255.255", 2, {}, {"255.255.255.255"}, "has 1 free addresses"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.start) + " " + c.mask + " x" + std::to_string(c.cameras));
        const AddressSeries series = CountAddresses(Ip(c.start), Ip(c.mask), c.cameras, c.taken);
        EXPECT_EQ(Texts(series.addresses), c.given);
        if (*c.problem == '\0')
            EXPECT_EQ(series.problem, "");
        else
            EXPECT_NE(series.problem.find(c.problem), std::string::npos) << series.problem;
    }
    // A camera the count reaches at its own address keeps it; another camera does not get it.
    const std::set<std::uint32_t> taken = {Ip("10.77.1.10"), Ip("10.77.1.12")};
    EXPECT_EQ(Texts(CountAddresses(Ip("10.77.1.10"), Ip("255.255.255.0"), 3, taken,
                                   {std::nullopt, std::nullopt, Ip("10.77.1.12")}).addresses),
              (std::vector<std::string>{"10.77.1.11", "10.77.1.13", "10.77.1.14"}));
    // Run again over cameras the first run addressed, the count leaves each where it is.
    const std::set<std::uint32_t> addressed = {Ip("10.77.1.10"), Ip("10.77.1.11"), Ip("10.77.1.12")};
    EXPECT_EQ(Texts(CountAddresses(Ip("10.77.1.10"), Ip("255.255.255.0"), 3, addressed,
                                   {Ip("10.77.1.10"), Ip("10.77.1.11"), Ip("10.77.1.12")}).addresses),
              (std::vector<std::string>{"10.77.1.10", "10.77.1.11", "10.77.1.12"}));
}
