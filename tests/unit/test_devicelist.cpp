// The window's device list without the window: rows, Index numbers, check marks, the
// header clicks' sorting, the details panel's camera, the text file and the web page;
// and the index behind its duplicate test.
#include "discovery/RecordCamera.h"
#include "inventory/DeviceIndex.h"
#include "inventory/DeviceList.h"
#include "tests/lab/ScriptedUser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

namespace {

Camera Device(const std::string &mac, const std::string &ip, const std::string &product = "IPCAM",
              const std::string &firmware = "1.0")
{
    DISCOVERY_DATA record = ZeroRecord();
    WriteSlotText(record.szMAC, mac);
    WriteSlotText(record.szIP, ip);
    WriteSlotText(record.szProductName, product);
    WriteSlotText(record.szFirmwareVersion, firmware);
    return CameraFromRecord(record);
}

bool IsListed(const IDeviceListing &list, const Camera &camera)
{
    return list.IsDeviceListed(camera.protocol, camera.identity);
}

bool Contains(const CDeviceIndex &index, const Camera &camera)
{
    return index.Contains(camera.protocol, camera.identity);
}

// Every change the list tells its view of, in order.
class RecordingObserver final : public IDeviceListObserver {
public:
    std::vector<std::string> events;
    std::vector<int> newRowOf;

private:
    void RowsAboutToBeAppended(int first, int last) override
    {
        events.push_back("append " + std::to_string(first) + "-" + std::to_string(last));
    }
    void RowsAppended() override { events.push_back("appended"); }
    void ListAboutToBeCleared() override { events.push_back("clear"); }
    void ListCleared() override { events.push_back("cleared"); }
    void RowsAboutToBeReordered() override { events.push_back("reorder"); }
    void RowsReordered(const std::vector<int> &map) override
    {
        events.push_back("reordered");
        newRowOf = map;
    }
    void RowChanged(int row) override { events.push_back("changed " + std::to_string(row)); }
};

using Events = std::vector<std::string>;

std::string ReadWhole(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The cameras in the order shown, by their Index numbers.
std::string Numbers(const CDeviceList &list)
{
    std::string numbers;
    for (int row = 0; row < list.Count(); ++row)
        numbers.append(row ? " " : "").append(list.CellText(row, CDeviceList::kIndexColumn));
    return numbers;
}

std::vector<int> Marks(const CDeviceList &list)
{
    std::vector<int> marks;
    for (int row = 0; row < list.Count(); ++row)
        marks.push_back(list.CheckMark(row));
    return marks;
}

std::string ChosenMacs(const CDeviceList &list)
{
    std::string macs;
    for (const Camera &camera : list.ChosenCameras())
        macs += camera.mac;
    return macs;
}

} // namespace

TEST(DeviceList, ListsCamerasInArrivalOrderUntilCleared)
{
    CDeviceList list;
    RecordingObserver view;
    list.SetObserver(&view);
    list.ListDevice(Device("M1", "10.77.0.10", "Dome \xC4", "V1.2"));
    list.ListDevice(Device("", "10.77.0.11"));
    list.ListDevice(Device("M3", ""));
    EXPECT_EQ(view.events, (Events{"append 0-0", "appended", "append 1-1", "appended", "append 2-2", "appended"}));
    const std::string row0[CDeviceList::kColumnCount] = {"1", "M1", "10.77.0.10", "Dome \xC4", "V1.2", ""};
    for (int column = 0; column < CDeviceList::kColumnCount; ++column)
        EXPECT_EQ(list.CellText(0, column), row0[column]) << column;
    EXPECT_EQ(Numbers(list), "1 2 3");
    EXPECT_EQ(Marks(list), (std::vector<int>{-1, -1, -1}));

    EXPECT_TRUE(IsListed(list, Device("M1", "10.77.0.10", "other", "9")));
    EXPECT_FALSE(IsListed(list, Device("M1", "10.77.0.99"))) << "a changed address is a new camera";
    EXPECT_FALSE(IsListed(list, Device("", "10.77.0.11"))) << "without a MAC never a duplicate";
    EXPECT_FALSE(IsListed(list, Device("M3", ""))) << "nor without an IP";

    view.events.clear();
    list.Select(1);
    list.Clear();
    EXPECT_EQ(view.events, (Events{"clear", "cleared"}));
    EXPECT_EQ(list.SelectedRow(), -1);
    EXPECT_FALSE(IsListed(list, Device("M1", "10.77.0.10")));
    list.ListDevice(Device("M1", "10.77.0.10"));
    EXPECT_EQ(Numbers(list), "1") << "numbering starts again";
}

// Each header click in turn on one list: texts compare as bytes, equal keys keep their
// order, Index clicks sort nothing and leave the direction alone, and every row keeps
// its Index number. The view is told where each row went.
TEST(DeviceList, HeaderClicksSortByTurns)
{
    CDeviceList list;
    RecordingObserver view;
    list.ListDevice(Device("M1", "10.0.0.9", "Dome", "2.0"));
    list.ListDevice(Device("M2", "10.0.0.10", "Bullet", "1.0"));
    list.ListDevice(Device("M3", "10.0.0.2", "Dome", "3.0"));
    list.ListDevice(Device("M4", "10.0.0.30", "PTZ", "1.0"));
    list.ListDevice(Device("M5", "10.0.0.4", "Bullet", "2.0"));
    list.SetObserver(&view);
    const std::pair<int, const char *> clicks[] = {
        {CDeviceList::kIpColumn, "2 3 4 5 1"},       // ascending, as text
        {CDeviceList::kProductColumn, "4 3 1 2 5"},  // descending
        {CDeviceList::kIndexColumn, "4 3 1 2 5"},    // checks every row
        {CDeviceList::kProductColumn, "2 5 3 1 4"},  // ascending again
        {CDeviceList::kFirmwareColumn, "3 5 1 2 4"}, // descending
        {CDeviceList::kMacColumn, "1 2 3 4 5"},
    };
    for (const auto &[column, order] : clicks) {
        SCOPED_TRACE("column " + std::to_string(column));
        const std::string before = Numbers(list);
        view.events.clear();
        list.OnColumnClick(column);
        EXPECT_EQ(Numbers(list), order);
        EXPECT_EQ(view.events, (Events{"reorder", "reordered"}));
        ASSERT_EQ(view.newRowOf.size(), 5u);
        for (std::size_t old = 0; old < 5; ++old)
            EXPECT_EQ(list.CellText(view.newRowOf[old], CDeviceList::kIndexColumn), before.substr(old * 2, 1));
        for (int row = 0; row < 5; ++row) // row i shows record i: the rest of the program takes one for the other
            EXPECT_EQ(list.CellText(row, CDeviceList::kMacColumn),
                      std::string("M").append(list.CellText(row, CDeviceList::kIndexColumn)));
    }
}

// Enough equal keys that a sort which is not stable would mix them.
TEST(DeviceList, EqualKeysKeepTheirOrderBothWays)
{
    CDeviceList list;
    std::string odd, even;
    for (int n = 1; n <= 40; ++n) {
        const std::string number = std::to_string(n);
        list.ListDevice(
            Device(std::string("M").append(number), std::string("10.1.0.").append(number), n % 2 ? "Dome" : "PTZ"));
        (n % 2 ? odd : even).append(n > 2 ? " " : "").append(number);
    }
    list.Sort(CDeviceList::kProductColumn, true);
    EXPECT_EQ(Numbers(list), odd + " " + even);
    list.Sort(CDeviceList::kProductColumn, false);
    EXPECT_EQ(Numbers(list), even + " " + odd);
}

// Index clicks check and uncheck every row by turns, clicks on an empty list taking
// their turn too; a camera listed since has no mark, and marks travel with their rows.
// A reboot goes to every row not unchecked, in row order.
TEST(DeviceList, IndexClicksSetEveryCheckMarkByTurns)
{
    CDeviceList list;
    list.OnColumnClick(CDeviceList::kIpColumn);
    list.OnColumnClick(CDeviceList::kIndexColumn);
    list.ListDevice(Device("M1", "10.77.0.10"));
    list.ListDevice(Device("M2", "10.77.0.11"));
    EXPECT_EQ(ChosenMacs(list), "M1M2") << "unset marks count as chosen";
    list.OnColumnClick(CDeviceList::kIndexColumn);
    EXPECT_EQ(Marks(list), (std::vector<int>{0, 0}));
    EXPECT_EQ(ChosenMacs(list), "");
    list.ListDevice(Device("M3", "10.77.0.12"));
    list.OnColumnClick(CDeviceList::kIpColumn);
    EXPECT_EQ(Numbers(list), "3 2 1") << "the second sort click is descending";
    EXPECT_EQ(Marks(list), (std::vector<int>{-1, 0, 0}));
    EXPECT_EQ(ChosenMacs(list), "M3");
    list.OnColumnClick(CDeviceList::kIndexColumn);
    EXPECT_EQ(Marks(list), (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(ChosenMacs(list), "M3M2M1");
    EXPECT_EQ(list.CheckMark(3), -1) << "past the end";
}

TEST(DeviceList, PanelCameraFollowsItsRowWhenSorted)
{
    CDeviceList list;
    list.ListDevice(Device("M1", "10.77.0.12"));
    list.ListDevice(Device("M2", "10.77.0.11"));
    list.ListDevice(Device("M3", "10.77.0.10"));
    list.Sort(CDeviceList::kIpColumn, true);
    EXPECT_EQ(list.SelectedRow(), -1) << "no camera stays none";
    EXPECT_FALSE(list.PanelCamera());
    list.Select(2);
    list.Sort(CDeviceList::kIpColumn, false);
    EXPECT_EQ(list.SelectedRow(), 0);
    ASSERT_TRUE(list.PanelCamera());
    EXPECT_EQ(list.PanelCamera()->mac, "M1");
    list.Select(3);
    EXPECT_FALSE(list.PanelCamera()) << "past the end";
}

// The row a click or double-click reads: past either end, the last row, as ever.
TEST(DeviceList, RecordAtPastTheEndGivesTheLast)
{
    CDeviceList list;
    EXPECT_FALSE(list.CameraAt(0));
    list.ListDevice(Device("M1", "10.77.0.1"));
    list.ListDevice(Device("M2", "10.77.0.2"));
    const std::pair<int, const char *> rows[] = {{0, "M1"}, {1, "M2"}, {2, "M2"}, {-1, "M2"}};
    for (const auto &[row, mac] : rows)
        EXPECT_EQ(list.CameraAt(row)->mac, mac) << row;
}

// Settings sent to the panel's camera: its row shows them, and the duplicate test knows
// the camera by its new address only.
TEST(DeviceList, ReplaceSelectedKeepsTheDuplicateTestRight)
{
    CDeviceList list;
    RecordingObserver view;
    list.ListDevice(Device("M1", "10.77.0.1"));
    list.ListDevice(Device("M2", "10.77.0.2"));
    list.SetObserver(&view);
    list.KeepSentSettings(Device("M2", "10.77.0.99"));
    list.Select(2);
    list.KeepSentSettings(Device("M2", "10.77.0.99"));
    EXPECT_TRUE(view.events.empty()) << "no camera in the panel: nothing replaced";
    EXPECT_TRUE(IsListed(list, Device("M2", "10.77.0.2")));

    list.Select(1);
    list.KeepSentSettings(Device("M2", "10.77.0.99"));
    EXPECT_EQ(view.events, Events{"changed 1"});
    EXPECT_EQ(list.CellText(1, CDeviceList::kIpColumn), "10.77.0.99");
    EXPECT_EQ(list.CellText(1, CDeviceList::kIndexColumn), "2");
    EXPECT_FALSE(IsListed(list, Device("M2", "10.77.0.2")));
    EXPECT_TRUE(IsListed(list, Device("M2", "10.77.0.99")));
    EXPECT_TRUE(IsListed(list, Device("M1", "10.77.0.1")));
}

// One line a row in the order shown, replacing the file, a camera's control characters
// written as \xHH; a list not written whole must not pass for written, the user would
// rely on it.
TEST(DeviceList, WriteExport)
{
    const std::string path = testing::TempDir() + "lanscout-export-" + std::to_string(::getpid());
    std::ofstream(path) << "a longer file from before, which the export replaces whole\n";
    CDeviceList list;
    ASSERT_EQ(list.WriteExport(path), "");
    EXPECT_EQ(std::filesystem::file_size(path), 0u) << "an empty list still makes the file";
    list.ListDevice(Device("M1", "10.77.0.12", "CAM-1", "V1.2"));
    list.ListDevice(Device("M2", "10.77.0.11", "Dome \xC4\x1B]0;owned\x07\tIR", "V2.0\r\n"));
    list.Sort(CDeviceList::kIpColumn, true);
    ASSERT_EQ(list.WriteExport(path), "");
    EXPECT_EQ(ReadWhole(path), "[V2.0\\x0D\\x0A] 10.77.0.11\tDome \xC4\\x1B]0;owned\\x07\tIR\r\n"
                               "[V1.2] 10.77.0.12\tCAM-1\r\n");
    std::filesystem::remove(path);

    const std::string error = list.WriteExport(testing::TempDir() + "lanscout-no-such-folder/list.txt");
    EXPECT_TRUE(error.starts_with("cannot open its folder: ")) << error;
}

TEST(DeviceList, CameraWebPage)
{
    const std::string notIpv4 = "The camera's address is not an IPv4 address: its web page is not opened.";
    const std::string badPort = "The HTTP port is not a number from 1 to 65535: the camera's web page is not opened.";
    const struct {
        const char *ip;
        bool https;
        std::uint32_t port;
        std::string opened, told;
    } cases[] = {
        {"10.77.0.10", false, 80, "http://10.77.0.10:80", ""},
        {"10.77.0.11", true, 8443, "https://10.77.0.11", ""}, // https never names the port
        {"10.77.0.11", true, 0, "https://10.77.0.11", ""},
        {"10.77.0.12", false, 8080, "http://10.77.0.12:8080", ""},
        {"10.77.0.12", false, 65535, "http://10.77.0.12:65535", ""},
        {"10.77.0.12", false, 1, "http://10.77.0.12:1", ""},
        {"10.77.0.12", false, 0, "", badPort},
        {"10.77.0.12", false, 65536, "", badPort},
        {"10.77.0.12", false, 65536 + 80, "", badPort},
        {"10.77.0.10:8080", false, 80, "", notIpv4},
        {"evil.example/x?", true, 443, "", notIpv4},
        {"010.077.000.010", false, 80, "", notIpv4},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.ip) + " port " + std::to_string(c.port));
        CScriptedUser user;
        OpenCameraWebPage(user, c.ip, c.https, c.port);
        EXPECT_EQ(user.openedPages, c.opened.empty() ? std::vector<std::string>{} : std::vector{c.opened});
        EXPECT_EQ(user.messages, c.told.empty() ? std::vector<std::string>{} : std::vector{c.told});
    }
}

// Texts come from the network, so a slot may hold any byte but a NUL, a line feed
// included: where the MAC ends and the IP begins must never be in doubt.
TEST(DeviceIndex, PairsThatJoinToTheSameBytesStayApart)
{
    CDeviceIndex index;
    index.Add(Device("M1", "10.0.0.1"));
    EXPECT_FALSE(Contains(index, Device("M1\n10.0.0", "1")));
    index.Add(Device("M1\n10.0.0.1", "10.0.0.2"));
    EXPECT_TRUE(Contains(index, Device("M1\n10.0.0.1", "10.0.0.2")));
    EXPECT_FALSE(Contains(index, Device("M1", "10.0.0.1\n10.0.0.2")));

    index.Add(Device("M2", "10.0.0.3\n10.0.0.4"));
    EXPECT_FALSE(Contains(index, Device("M2\n10.0.0.3", "10.0.0.4")));
    index.Remove(Device("M2\n10.0.0.3", "10.0.0.4")); // another device: the listed one stays
    EXPECT_TRUE(Contains(index, Device("M2", "10.0.0.3\n10.0.0.4")));
}

TEST(DeviceIndex, ReplacedRecordIsListedUnderItsNewAddressOnly)
{
    CDeviceIndex index;
    index.Add(Device("M1", "10.0.0.1"));
    index.Add(Device("M1", "10.0.0.1")); // listed twice (an empty MAC elsewhere, say)
    index.Remove(Device("M1", "10.0.0.1"));
    EXPECT_TRUE(Contains(index, Device("M1", "10.0.0.1")));
    index.Remove(Device("M1", "10.0.0.1"));
    index.Add(Device("M1", "10.0.0.9"));
    EXPECT_FALSE(Contains(index, Device("M1", "10.0.0.1")));
    EXPECT_TRUE(Contains(index, Device("M1", "10.0.0.9")));
    index.Remove(Device("M7", "10.0.0.7")); // never listed: nothing happens
    index.Clear();
    EXPECT_FALSE(Contains(index, Device("M1", "10.0.0.9")));
}
