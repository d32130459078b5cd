// The window as Windows shows it: lanscout's own window, under Wine on an X display, in a
// lab whose camsim plays the demo's cameras. It searches at start and on the Search
// button, and lists every camera each time.

#include "app/LanscoutDlg.h"
#include "vms/HandOver.h"
#include "vms/VantoRegistry.h"
#include "tests/lab/EventPump.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

namespace {

int ExpectedCameras()
{
    const char *count = std::getenv("LANSCOUT_EXPECTED_CAMERAS");
    return count ? std::atoi(count) : 0;
}

std::set<std::string> ListedAddresses(const QAbstractItemModel &list)
{
    std::set<std::string> addresses;
    for (int row = 0; row < list.rowCount(); ++row)
        addresses.insert(list.index(row, 2).data().toString().toStdString());
    return addresses;
}

TEST(WindowUnderWine, SearchesAtStartAndOnTheButtonAndListsEveryCamera)
{
    const int expected = ExpectedCameras();
    ASSERT_GT(expected, 0) << "LANSCOUT_EXPECTED_CAMERAS names how many cameras camsim plays";
    const CHandOverStore store(RegistryRoot());
    CLanscoutDlg window(store);
    ASSERT_TRUE(window.Create());
    window.show();
    const QAbstractItemModel &list = *qobject_cast<QTableView *>(window.Control(IDC_DEVICE_LIST))->model();

    ASSERT_TRUE(WaitFor([&] { return !window.IsSearchRunning(); }, 30000)) << "the first search did not end";
    const std::set<std::string> first = ListedAddresses(list);
    EXPECT_EQ(int(first.size()), expected);
    // The edits start as on Linux: the factory user, the ports' numbers.
    EXPECT_EQ(qobject_cast<QLineEdit *>(window.Control(IDC_USER_ID))->text(), QStringLiteral("admin"));
    EXPECT_EQ(qobject_cast<QLineEdit *>(window.Control(IDC_HTTP_PORT))->text(), QStringLiteral("0"));
    // The version comes from the program's own version resource.
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quorvane Camera Setup Utility (11.00.0104)"));

    QTest::mouseClick(qobject_cast<QPushButton *>(window.Control(IDC_SEARCH)), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return window.IsSearchRunning(); }, 5000)) << "Search did not start a search";
    ASSERT_TRUE(WaitFor([&] { return !window.IsSearchRunning(); }, 30000)) << "the second search did not end";
    EXPECT_EQ(ListedAddresses(list), first);

    if (const char *shot = std::getenv("LANSCOUT_SCREENSHOT")) {
        EXPECT_TRUE(window.grab().save(QString::fromLocal8Bit(shot))) << shot;
    }
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
