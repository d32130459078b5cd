#include "inventory/DeviceIndex.h"

#include <gtest/gtest.h>

namespace {

DISCOVERY_DATA Device(const char *mac, const char *ip)
{
    DISCOVERY_DATA record = ZeroRecord();
    WriteSlotText(record.szMAC, mac);
    WriteSlotText(record.szIP, ip);
    return record;
}

} // namespace

// The index must answer exactly as a walk over the listed records would.
TEST(DeviceIndex, ListedMeansSameMacAndSameIpNeitherEmpty)
{
    CDeviceIndex index;
    index.Add(Device("M1", "10.0.0.1"));
    index.Add(Device("", "10.0.0.2"));
    index.Add(Device("M3", ""));
    EXPECT_TRUE(index.Contains(Device("M1", "10.0.0.1")));
    EXPECT_FALSE(index.Contains(Device("M1", "10.0.0.10")));
    EXPECT_FALSE(index.Contains(Device("M1\n10.0.0", "1"))); // the separator is no shortcut
    EXPECT_FALSE(index.Contains(Device("", "10.0.0.2")));
    EXPECT_FALSE(index.Contains(Device("M3", "")));
}

// Texts come from the network, so a slot may hold any byte but a NUL, a line feed
// included: where the MAC ends and the IP begins must never be in doubt.
TEST(DeviceIndex, PairsThatJoinToTheSameBytesStayApart)
{
    CDeviceIndex index;
    index.Add(Device("M1\n10.0.0.1", "10.0.0.2"));
    EXPECT_TRUE(index.Contains(Device("M1\n10.0.0.1", "10.0.0.2")));
    EXPECT_FALSE(index.Contains(Device("M1", "10.0.0.1\n10.0.0.2")));

    index.Add(Device("M2", "10.0.0.3\n10.0.0.4"));
    EXPECT_FALSE(index.Contains(Device("M2\n10.0.0.3", "10.0.0.4")));
    index.Remove(Device("M2\n10.0.0.3", "10.0.0.4")); // another device: the listed one stays
    EXPECT_TRUE(index.Contains(Device("M2", "10.0.0.3\n10.0.0.4")));
}

TEST(DeviceIndex, ReplacedRecordIsListedUnderItsNewAddressOnly)
{
    CDeviceIndex index;
    index.Add(Device("M1", "10.0.0.1"));
    index.Add(Device("M1", "10.0.0.1")); // listed twice (an empty MAC elsewhere, say)
    index.Remove(Device("M1", "10.0.0.1"));
    EXPECT_TRUE(index.Contains(Device("M1", "10.0.0.1")));
    index.Remove(Device("M1", "10.0.0.1"));
    index.Add(Device("M1", "10.0.0.9"));
    EXPECT_FALSE(index.Contains(Device("M1", "10.0.0.1")));
    EXPECT_TRUE(index.Contains(Device("M1", "10.0.0.9")));
    index.Remove(Device("M7", "10.0.0.7")); // never listed: nothing happens
    index.Clear();
    EXPECT_FALSE(index.Contains(Device("M1", "10.0.0.9")));
}
