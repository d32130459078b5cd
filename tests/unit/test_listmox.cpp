#include "discovery/DiscoveryData.h"
#include "inventory/ListMox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

DISCOVERY_DATA Record(const char *mac)
{
    DISCOVERY_DATA record = ZeroRecord();
    WriteSlotText(record.szMAC, mac);
    return record;
}

std::string MacAt(const CListMox<DISCOVERY_DATA> &list, std::uint32_t index)
{
    DISCOVERY_DATA record = ZeroRecord();
    EXPECT_EQ(list.GetAt(index, record), 1);
    return SlotText(record.szMAC);
}

class DeviceList : public ::testing::Test {
protected:
    void SetUp() override
    {
        list.AddTail(Record("R1"));
        list.AddTail(Record("R2"));
        list.AddTail(Record("R3"));
    }
    CListMox<DISCOVERY_DATA> list;
};

} // namespace

TEST(DeviceListEmpty, GetAtLeavesTheBufferUntouched)
{
    CListMox<DISCOVERY_DATA> list;
    DISCOVERY_DATA record = Record("untouched");
    EXPECT_EQ(list.GetAt(0, record), 0);
    EXPECT_EQ(SlotText(record.szMAC), "untouched");
    EXPECT_EQ(list.SetAt(0, Record("x")), 0);
}

TEST_F(DeviceList, IndexPastTheEndReadsTheLastRecord)
{
    EXPECT_EQ(MacAt(list, 0), "R1");
    EXPECT_EQ(MacAt(list, 2), "R3");
    EXPECT_EQ(MacAt(list, 3), "R3");
    EXPECT_EQ(MacAt(list, std::uint32_t(-1)), "R3"); // "no selection" as an unsigned index
}

TEST_F(DeviceList, SetAtReplacesOnlyWithinTheList)
{
    EXPECT_EQ(list.SetAt(3, Record("R4")), 0);
    EXPECT_EQ(MacAt(list, 2), "R3");
    EXPECT_EQ(list.SetAt(1, Record("R4")), 1);
    EXPECT_EQ(MacAt(list, 0), "R1");
    EXPECT_EQ(MacAt(list, 1), "R4");
    EXPECT_EQ(MacAt(list, 2), "R3");
}

TEST_F(DeviceList, RecordsAreCopiesInAndOut)
{
    DISCOVERY_DATA record = ZeroRecord();
    list.GetAt(0, record);
    WriteSlotText(record.szMAC, "changed");
    EXPECT_EQ(MacAt(list, 0), "R1");

    DISCOVERY_DATA added = Record("R5");
    const DISCOVERY_DATA stored = list.AddTail(added);
    WriteSlotText(added.szMAC, "changed");
    EXPECT_EQ(SlotText(stored.szMAC), "R5");
    EXPECT_EQ(MacAt(list, 3), "R5");
}

TEST_F(DeviceList, AddAfterRemoveAllStartsAfresh)
{
    list.RemoveAll();
    DISCOVERY_DATA record = Record("untouched");
    EXPECT_EQ(list.GetAt(0, record), 0);
    list.AddTail(Record("only"));
    EXPECT_EQ(MacAt(list, 0), "only");
    EXPECT_EQ(MacAt(list, 1), "only"); // head and tail are the same node
    EXPECT_EQ(list.SetAt(1, Record("x")), 0);
}

TEST(DeviceListThreads, WriterAndReaderAtOnce)
{
    CListMox<DISCOVERY_DATA> list;
    constexpr int kRecords = 2000;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < kRecords; ++i) {
            DISCOVERY_DATA record = ZeroRecord();
            record.nResult = i;
            list.AddTail(record);
        }
        done = true;
    });
    // Every read sees a whole record that was added, never a torn or missing one.
    int lastSeen = -1;
    while (!done) {
        DISCOVERY_DATA record = ZeroRecord();
        record.nResult = -1;
        if (list.GetAt(std::uint32_t(-1), record) == 1) {
            EXPECT_GE(+record.nResult, lastSeen); // + copies the packed field
            lastSeen = record.nResult;
        }
    }
    writer.join();
    for (int i = 0; i < kRecords; i += 97) {
        DISCOVERY_DATA record = ZeroRecord();
        ASSERT_EQ(list.GetAt(std::uint32_t(i), record), 1);
        EXPECT_EQ(+record.nResult, i);
    }
}
