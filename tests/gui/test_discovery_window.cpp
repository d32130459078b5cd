// Searching, replies and commands through the real window, with camsim playing the
// cameras on the other side of the lab's link.
#include "app/LanscoutDlg.h"
#include "app/Dialogs.h"
#include "discovery/Discovery.h"
#include "platform/Adapters.h"
#include "tests/gui/GuiTest.h"
#include "tests/lab/CamsimProcess.h"
#include "tests/lab/EventPump.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <set>

namespace {

void WaitForSweepEnd(const CLanscoutDlg &window)
{
    ProcessEventsUntil([&] { return !window.IsSweepRunning(); }, 15000);
    ProcessEventsFor(50);
}

void SetEditText(const CLanscoutDlg &w, int id, const std::string &text)
{
    qobject_cast<QLineEdit *>(w.Control(id))->setText(QString::fromLatin1(text.c_str()));
}

std::string Cell(const CLanscoutDlg &w, int row, int column)
{
    return w.m_listDevices->item(row, column)->text().toStdString();
}

// Sends datagrams to the window's reply port as a camera on the site would.
void SendToWindow(const void *data, std::size_t length)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(DISCOVERY_RECV_PORT);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::sendto(fd, data, length, 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
    ::close(fd);
}

void SendToWindow(const DISCOVERY_DATA &record)
{
    SendToWindow(&record, sizeof record);
}

DISCOVERY_DATA Result(const char *mac, int result)
{
    DISCOVERY_DATA r = CameraRecord(mac, "");
    r.nType = DISCOVERY_SET_CONFIG;
    r.nResult = result;
    return r;
}

// Milliseconds stamped on camsim's log lines that contain the needle.
std::vector<long> LogTimes(const CamsimProcess &camsim, const std::string &needle)
{
    std::vector<long> times;
    for (const std::string &line : camsim.LogLines())
        if (line.find(needle) != std::string::npos)
            times.push_back(std::atol(line.c_str()));
    return times;
}

class DiscoveryWindow : public ::testing::Test {
protected:
    void OpenWindow()
    {
        window = std::make_unique<CLanscoutDlg>();
        ASSERT_TRUE(window->Create());
        window->show();
    }

    void SearchAndWait()
    {
        window->OnSearch();
        WaitForSweepEnd(*window);
    }

    MessageRecorder boxes{IDNO}; // Yes/No boxes are refused unless a test says otherwise
    std::unique_ptr<CLanscoutDlg> window;
};

std::vector<std::string> CameraArgs(int count, std::vector<std::string> more = {})
{
    std::vector<std::string> args = {"--cameras", std::to_string(count), "--first-ip",
                                     CamsimProcess::FirstCameraAddress(), "--reboot-ms", "0"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

} // namespace

TEST_F(DiscoveryWindow, SearchListsEveryCameraOnceInArrivalOrder)
{
    CamsimProcess camsim(CameraArgs(5, {"--repeat", "2"}));
    OpenWindow();
    ProcessEventsUntil([&] { return window->RowCount() >= 5; }, 3000);
    ASSERT_TRUE(window->IsSweepRunning());
    window->OnSearch(); // a second press during the sweep changes nothing
    EXPECT_EQ(window->RowCount(), 5);
    EXPECT_FALSE(window->Control(IDC_SEARCH)->isEnabled());
    WaitForSweepEnd(*window);
    EXPECT_TRUE(window->Control(IDC_SEARCH)->isEnabled());
    EXPECT_FALSE(window->m_pWaitDlg->isVisible());

    ASSERT_EQ(window->RowCount(), 5);
    std::set<std::string> macs;
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(Cell(*window, row, 0), std::to_string(row + 1));
        macs.insert(Cell(*window, row, 1));
    }
    EXPECT_EQ(macs.size(), 5u);

    // Five search records, a second apart.
    const std::vector<long> searches = LogTimes(camsim, "recv search");
    ASSERT_EQ(searches.size(), 5u);
    for (std::size_t i = 1; i < searches.size(); ++i) {
        EXPECT_GT(searches[i] - searches[i - 1], 800) << i;
        EXPECT_LT(searches[i] - searches[i - 1], 1500) << i;
    }

    // A new search starts from an empty list and panel.
    window->OnDeviceClick(1);
    ASSERT_FALSE(window->m_editIP->text().isEmpty());
    window->OnSearch();
    EXPECT_EQ(window->m_nSelectedIndex, -1);
    EXPECT_TRUE(window->m_editIP->text().isEmpty());
    EXPECT_TRUE(window->m_editModelName->text().isEmpty());
    WaitForSweepEnd(*window);
    EXPECT_EQ(window->RowCount(), 5);
}

TEST_F(DiscoveryWindow, CameraAnsweringAfterTheSweepIsNotListed)
{
    CamsimProcess camsim(CameraArgs(1, {"--late-ms", "5600"}));
    OpenWindow();
    WaitForSweepEnd(*window);
    ASSERT_TRUE(camsim.WaitForLog(" to " + CamsimProcess::ToolAddress() + ":40014", 3000)); // answered, late
    ProcessEventsFor(300);
    EXPECT_EQ(window->RowCount(), 0);
}

TEST_F(DiscoveryWindow, RepliesAreDispatchedByTypeAndDeduplicated)
{
    OpenWindow();
    for (int i = 0; i < 5; ++i)
        SendToWindow(CameraRecord("M1", "10.0.0.1"));
    SendToWindow(CameraRecord("M1", "10.0.0.2")); // same camera, other address: listed again
    SendToWindow(CameraRecord("", "10.0.0.3"));   // no MAC: never a duplicate
    SendToWindow(CameraRecord("", "10.0.0.3"));
    for (std::int32_t type : {std::int32_t(DISCOVERY_SEARCH), std::int32_t(DISCOVERY_REBOOT), std::int32_t(DISCOVERY_FACTORY_RESET), std::int32_t(99)}) {
        DISCOVERY_DATA other = CameraRecord("M9", "10.0.0.9");
        other.nType = type;
        SendToWindow(other);
    }
    // Junk must not deafen the window: the next good reply still counts.
    const std::vector<char> oversized(600, 4);
    SendToWindow(oversized.data(), 0);
    SendToWindow(oversized.data(), 100);
    SendToWindow(oversized.data(), oversized.size());
    SendToWindow(CameraRecord("M5", "10.0.0.5"));
    ProcessEventsUntil([&] { return window->RowCount() >= 5; }, 2000);
    ProcessEventsFor(200);
    EXPECT_EQ(window->RowCount(), 5);
    EXPECT_EQ(Cell(*window, 4, 1), "M5");
    EXPECT_TRUE(boxes.boxes.empty());

    WaitForSweepEnd(*window);
    SendToWindow(CameraRecord("M6", "10.0.0.6")); // outside a sweep
    ProcessEventsFor(300);
    EXPECT_EQ(window->RowCount(), 5);
}

TEST_F(DiscoveryWindow, SetConfigurationResultsAreShownForTheAwaitedCamera)
{
    OpenWindow();
    WaitForSweepEnd(*window);
    g_strPendingMAC = "M1";
    SendToWindow(Result("M1", RESULT_INVALID_PORT));
    ProcessEventsUntil([&] { return !boxes.boxes.empty(); }, 2000);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Failed. Invalid port"});
    EXPECT_TRUE(g_strPendingMAC.empty());

    g_strPendingMAC = "M1";
    SendToWindow(Result("M2", RESULT_FAILED)); // another camera: nothing, and the wait ends
    SendToWindow(Result("M1", RESULT_LOGIN_FAILED));
    g_strPendingMAC = "M3";
    ProcessEventsFor(300);
    EXPECT_EQ(boxes.boxes.size(), 1u);
    g_strPendingMAC = "M3";
    SendToWindow(Result("M3", 0));
    SendToWindow(Result("M3", 6));
    ProcessEventsFor(300);
    EXPECT_EQ(boxes.boxes.size(), 1u);
}

TEST_F(DiscoveryWindow, SavedSettingsReachTheCamera)
{
    CamsimProcess camsim(CameraArgs(2));
    OpenWindow();
    WaitForSweepEnd(*window);
    ASSERT_EQ(window->RowCount(), 2);

    window->SendDeviceCommand(DISCOVERY_SET_CONFIG);
    EXPECT_EQ(boxes.Texts().back(), "Not Selected");

    window->OnDeviceClick(1);
    const std::string mac = Cell(*window, 1, 1);
    SetEditText(*window, IDC_IP, "10.77.1.77");
    SetEditText(*window, IDC_USER_ID, "   ");
    SetEditText(*window, IDC_PASSWORD, "vqxnt");
    window->SendDeviceCommand(DISCOVERY_SET_CONFIG);
    EXPECT_EQ(boxes.Texts().back(), "Check the \"User ID\" and \"Password\"");

    SetEditText(*window, IDC_USER_ID, "admin");
    SetEditText(*window, IDC_HTTP_PORT, "70000"); // goes out cut to 16 bits
    window->SendDeviceCommand(DISCOVERY_SET_CONFIG);
    ASSERT_TRUE(camsim.WaitForLog("set-config mac=" + mac, 2000));
    EXPECT_EQ(camsim.CountLog("http=4464"), 1);
    EXPECT_EQ(camsim.CountLog("ip=10.77.1.77"), 1);
    DISCOVERY_DATA stored;
    window->m_devices.GetAt(1, stored);
    EXPECT_EQ(+stored.nType, DISCOVERY_SET_CONFIG);
    EXPECT_EQ(SlotText(stored.szIP), "10.77.1.77");
    ProcessEventsFor(300);
    EXPECT_TRUE(g_strPendingMAC.empty());
    EXPECT_EQ(boxes.boxes.size(), 2u); // result 0 shows nothing

    SearchAndWait();
    bool moved = false;
    for (int row = 0; row < window->RowCount(); ++row)
        moved = moved || (Cell(*window, row, 1) == mac && Cell(*window, row, 2) == "10.77.1.77");
    EXPECT_TRUE(moved);

    // A refused port comes back as its message; a leading space stays in the user ID.
    window->OnDeviceClick(0);
    SetEditText(*window, IDC_PASSWORD, "vqxnt");
    SetEditText(*window, IDC_HTTP_PORT, "0");
    window->SendDeviceCommand(DISCOVERY_SET_CONFIG);
    ProcessEventsUntil([&] { return boxes.boxes.size() >= 3; }, 2000);
    EXPECT_EQ(boxes.Texts().back(), "Failed. Invalid port");
    SetEditText(*window, IDC_USER_ID, " admin");
    SetEditText(*window, IDC_HTTP_PORT, "80");
    window->SendDeviceCommand(DISCOVERY_SET_CONFIG);
    ProcessEventsUntil([&] { return boxes.boxes.size() >= 4; }, 2000);
    EXPECT_EQ(boxes.Texts().back(), "Failed. login failed"); // the camera saw " admin", not "admin"
}

TEST_F(DiscoveryWindow, RebootGoesToTheChosenRowsAfterConfirmation)
{
    CamsimProcess camsim(CameraArgs(3));
    OpenWindow();
    WaitForSweepEnd(*window);
    ASSERT_EQ(window->RowCount(), 3);
    SetEditText(*window, IDC_PASSWORD, "vqxnt");

    window->SendDeviceCommand(DISCOVERY_REBOOT);
    std::string expected = "Check the IP and MAC on \"Reboot\"\n\n";
    for (int row = 0; row < 3; ++row)
        expected += "IP : " + Cell(*window, row, 2) + " / MAC : " + Cell(*window, row, 1) + "\n";
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.Texts().back(), expected);
    EXPECT_EQ(boxes.boxes.back().icon, MessageIcon::Question);
    ProcessEventsFor(200);
    EXPECT_EQ(camsim.CountLog("reboot mac="), 0);

    {
        MessageRecorder yes(IDYES);
        window->SendDeviceCommand(DISCOVERY_FACTORY_RESET);
        for (int row = 0; row < 3; ++row)
            EXPECT_TRUE(camsim.WaitForLog("factory-reset mac=" + Cell(*window, row, 1) + " ip=", 2000)) << row;
    }

    window->OnColumnClick(0);
    window->OnColumnClick(0); // every row unchecked
    window->SendDeviceCommand(DISCOVERY_REBOOT);
    EXPECT_EQ(boxes.Texts().back(), "Not Checked");
}

TEST_F(DiscoveryWindow, CommandWithoutASendSocketIsRefused)
{
    static const AdapterEntry gone{"gone", "10.99.99.99"}; // an adapter that lost its address
    OpenWindow();
    WaitForSweepEnd(*window);
    window->m_comboAdapter->addItem(QStringLiteral("gone : 10.99.99.99"), QVariant::fromValue(quintptr(&gone)));
    window->m_comboAdapter->setCurrentIndex(window->m_comboAdapter->count() - 1);
    window->OnSearch();
    EXPECT_FALSE(window->IsSweepRunning());
    EXPECT_FALSE(g_bSearching);
    window->m_devices.AddTail(CameraRecord("M1", "10.0.0.1"));
    window->AddDeviceRow(CameraRecord("M1", "10.0.0.1"));
    window->OnDeviceClick(0);
    SetEditText(*window, IDC_PASSWORD, "vqxnt");
    window->SendDeviceCommand(DISCOVERY_SET_CONFIG);
    EXPECT_EQ(boxes.Texts().back(), "Failed to create send socket.");
    EXPECT_TRUE(g_strPendingMAC.empty());
}

TEST_F(DiscoveryWindow, ClosingDuringASweepEndsCleanly)
{
    CamsimProcess camsim(CameraArgs(3));
    OpenWindow();
    ProcessEventsFor(1500);
    ASSERT_TRUE(window->IsSweepRunning());
    window.reset();
    EXPECT_FALSE(g_bSearching);
    ProcessEventsFor(200);
}
