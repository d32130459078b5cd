// The Qt-free core on Linux: what only Linux can name.
#include "inventory/DeviceList.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <utility>

// The list export reports why a file could not be written, also when it opened.
TEST(DeviceList, WriteExportReportsAFolderAndAFullDisk)
{
    DISCOVERY_DATA camera = ZeroRecord();
    WriteSlotText(camera.szMAC, "M1");
    WriteSlotText(camera.szIP, "10.77.0.12");
    CDeviceList list;
    list.ListDevice(camera);
    const std::pair<std::string, int> failures[] = {
        {testing::TempDir(), EISDIR},
        {"/dev/full", ENOSPC}, // opens, but no line reaches the disk
    };
    for (const auto &[unwritable, error] : failures)
        EXPECT_EQ(list.WriteExport(unwritable), error) << unwritable;
}
