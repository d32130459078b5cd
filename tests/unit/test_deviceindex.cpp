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
