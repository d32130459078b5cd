// The window as Windows shows it: lanscout's own window, with lanscout.exe's resources
// and manifest, under Wine on an X display, in a lab whose camsim plays the demo's
// cameras. It searches at start and on the Search button and lists every camera each
// time; its edits draw their texts; Save to HALVEX lands where the management system reads.

#include "app/LanscoutDlg.h"
#include "vms/HandOver.h"
#include "vms/VantoRegistry.h"
#include "tests/lab/EventPump.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QTest>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

namespace {

constexpr const char *kVmsKey = "SOFTWARE\\Brenmark\\Halvex DVR\\PELMTempSettings";

int ExpectedCameras()
{
    const char *count = std::getenv("LANSCOUT_EXPECTED_CAMERAS");
    return count ? std::atoi(count) : 0;
}

std::set<std::string> ListedAddresses(const QAbstractItemModel &list)
{
    std::set<std::string> addresses;
    for (int row = 0; row < list.rowCount(); ++row)
        addresses.insert(list.index(row, CDeviceList::kIpColumn).data().toString().toStdString());
    return addresses;
}

class WindowUnderWine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(window.Create());
        window.show();
        ASSERT_TRUE(WaitFor([&] { return !window.IsSearchRunning(); }, 30000)) << "the first search did not end";
    }

    template <class Control> Control &Get(int id) { return *qobject_cast<Control *>(window.Control(id)); }
    const QAbstractItemModel &List() { return *Get<QTableView>(IDC_DEVICE_LIST).model(); }

    const CHandOverStore store{RegistryRoot()};
    CLanscoutDlg window{store};
};

// Pixels clearly darker than an edit's white ground, inside its frame: what its text drew.
int DarkPixelsInside(QLineEdit &edit)
{
    const QImage picture = edit.grab().toImage();
    const int frame = edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &edit) + 1;
    const QRect inside = picture.rect().adjusted(frame, frame, -frame, -frame);
    int dark = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            dark += qGray(picture.pixel(x, y)) < 128;
    return dark;
}

// What `reg query KEY /reg:VIEW` prints, and whether it found the key.
struct RegQuery {
    bool found;
    std::string shown;
};

RegQuery QueryWithReg(const char *view)
{
    const std::string command = std::string("reg query \"HKLM\\") + kVmsKey + "\" /reg:" + view + " 2>&1";
    FILE *output = _popen(command.c_str(), "r");
    if (output == nullptr)
        return {false, "reg.exe did not start"};
    std::string shown;
    char line[512];
    while (std::fgets(line, sizeof line, output))
        shown += line;
    return {_pclose(output) == 0, shown};
}

bool KeyExists(REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVmsKey, 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

TEST_F(WindowUnderWine, SearchesAtStartAndOnTheButtonAndListsEveryCamera)
{
    const int expected = ExpectedCameras();
    ASSERT_GT(expected, 0) << "LANSCOUT_EXPECTED_CAMERAS names how many cameras camsim plays";
    const std::set<std::string> first = ListedAddresses(List());
    EXPECT_EQ(int(first.size()), expected);
    // The edits start as on Linux: the factory user, the ports' numbers.
    EXPECT_EQ(Get<QLineEdit>(IDC_USER_ID).text(), QStringLiteral("admin"));
    EXPECT_EQ(Get<QLineEdit>(IDC_HTTP_PORT).text(), QStringLiteral("0"));
    // The version comes from the program's own version resource.
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quorvane Camera Setup Utility (11.00.0104)"));

    QTest::mouseClick(&Get<QPushButton>(IDC_SEARCH), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return window.IsSearchRunning(); }, 5000)) << "Search did not start a search";
    ASSERT_TRUE(WaitFor([&] { return !window.IsSearchRunning(); }, 30000)) << "the second search did not end";
    EXPECT_EQ(ListedAddresses(List()), first);

    if (const char *shot = std::getenv("LANSCOUT_SCREENSHOT")) {
        EXPECT_TRUE(window.grab().save(QString::fromLocal8Bit(shot))) << shot;
    }
}

// The templates name a raster face, which Qt's painter cannot draw with: an edit then
// holds its text but shows none.
TEST_F(WindowUnderWine, EditsDrawTheTextTheyHold)
{
    QLineEdit &user = Get<QLineEdit>(IDC_USER_ID);
    QLineEdit &ip = Get<QLineEdit>(IDC_IP); // empty until a camera is clicked
    ASSERT_EQ(user.text(), QStringLiteral("admin"));
    ASSERT_TRUE(ip.text().isEmpty());
    EXPECT_GE(DarkPixelsInside(user), 20) << "\"admin\" is not drawn";
    EXPECT_EQ(DarkPixelsInside(ip), 0) << "an empty edit shows something";
}

// A camera handed over from the window is written to the registry's 32-bit view, where the
// management system (a 32-bit program) reads it, and not to the 64-bit one.
TEST_F(WindowUnderWine, SaveToHalvexWritesWhereTheManagementSystemReads)
{
    const QString camera = QStringLiteral("10.77.0.11"); // on the site password
    int row = 0;
    while (row < List().rowCount() && List().index(row, CDeviceList::kIpColumn).data().toString() != camera)
        ++row;
    ASSERT_LT(row, List().rowCount()) << "the camera was not listed";
    QTableView &list = Get<QTableView>(IDC_DEVICE_LIST);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualRect(List().index(row, 1)).center());
    ASSERT_EQ(Get<QLineEdit>(IDC_IP).text(), camera);
    Get<QLineEdit>(IDC_PASSWORD).setText(QStringLiteral("Demo-pass-1"));

    QTest::mouseClick(&Get<QPushButton>(IDC_SAVE_TO_VMS), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return window.isHidden(); }, 30000)) << "the window did not end after the hand-over";

    EXPECT_TRUE(KeyExists(KEY_WOW64_32KEY));
    EXPECT_FALSE(KeyExists(KEY_WOW64_64KEY)) << "the hand-over went to the 64-bit view";
    const RegQuery shown = QueryWithReg("32");
    ASSERT_TRUE(shown.found) << shown.shown;
    for (const char *line : {"IPCameraNeedSaveToHalvex    REG_DWORD    0x1", "IPCameraAddress    REG_SZ    10.77.0.11",
                             "IPCameraUserName    REG_SZ    admin", "IPCameraPassword    REG_SZ    Demo-pass-1",
                             "IPCameraHTTPPort    REG_DWORD    0x50"})
        EXPECT_NE(shown.shown.find(line), std::string::npos) << line << " is not in\n" << shown.shown;
    EXPECT_FALSE(QueryWithReg("64").found) << "reg query /reg:64 finds the key";
}

} // namespace

// The window binds the discovery ports and broadcasts: only inside a lab.
int main(int argc, char **argv)
{
    if (std::getenv("LANSCOUT_LAB") == nullptr) {
        std::fprintf(stderr, "run the window's test through tests/lab/lab.sh: it sends broadcasts\n");
        return 1;
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
