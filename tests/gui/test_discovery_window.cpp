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
#include <QCoreApplication>
#include <QLineEdit>
#include <QMetaObject>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <stdexcept>

namespace {

constexpr int kFenceTimeoutMs = 10000;

void SetEditText(const CLanscoutDlg &w, int id, const std::string &text)
{
    qobject_cast<QLineEdit *>(w.Control(id))->setText(QString::fromLatin1(text.c_str()));
}

std::string Cell(const CLanscoutDlg &w, int row, int column)
{
    return w.m_listDevices->item(row, column)->text().toStdString();
}

// One socket of the test's own, bound to the tool's address: the window's replies
// come from one sender and arrive in the order they were sent, and so do camsim's
// answers to the commands sent through it.
class SiteSocket final {
public:
    SiteSocket() : m_fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in at{};
        at.sin_family = AF_INET;
        inet_pton(AF_INET, CamsimProcess::ToolAddress().c_str(), &at.sin_addr);
        const int on = 1;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr *>(&at), sizeof at) != 0 ||
            ::setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
            throw std::runtime_error("cannot make the test's socket");
    }
    ~SiteSocket() { ::close(m_fd); }
    SiteSocket(const SiteSocket &) = delete;
    SiteSocket &operator=(const SiteSocket &) = delete;

    // To the window's reply port, as a camera on the site would send.
    void ToWindow(const void *data, std::size_t length) { SendTo(data, length, INADDR_LOOPBACK, DISCOVERY_RECV_PORT); }
    // To every camera, as the window sends its requests.
    void ToCameras(const DISCOVERY_DATA &record)
    {
        SendTo(&record, sizeof record, INADDR_BROADCAST, DISCOVERY_SEND_PORT);
    }

private:
    void SendTo(const void *data, std::size_t length, in_addr_t address, std::uint16_t port)
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(address);
        EXPECT_EQ(::sendto(m_fd, data, length, 0, reinterpret_cast<sockaddr *>(&to), sizeof to), ssize_t(length));
    }

    int m_fd;
};

// camsim's generated camera n (from 1).
std::string GeneratedMac(int n)
{
    char text[24];
    std::snprintf(text, sizeof text, "02:4C:53:00:00:%02X", n);
    return text;
}

// A set-configuration command with a login no camera takes: it changes nothing, and
// a camera that camsim plays answers it with "login failed".
DISCOVERY_DATA WrongLogin(const std::string &mac)
{
    DISCOVERY_DATA command = ZeroRecord();
    command.nType = DISCOVERY_SET_CONFIG;
    WriteSlotText(command.szMAC, mac);
    FillCredentialBlock(command, "fence", "");
    return command;
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

// No test waits for silence: what must not happen is followed by a fence, something
// that must happen and that can only happen after it would have.
class DiscoveryWindow : public ::testing::Test {
protected:
    void OpenWindow()
    {
        window = std::make_unique<CLanscoutDlg>();
        ASSERT_TRUE(window->Create());
        window->show();
    }

    // Lets the sweep end, then passes a result fence: through camsim when it plays
    // the cameras, so that every reply to the sweep has been handled.
    void WaitForSweepEnd(const CamsimProcess *camsim = nullptr)
    {
        ProcessEventsUntil([&] { return !window->IsSweepRunning(); }, 15000);
        ASSERT_FALSE(window->IsSweepRunning());
        if (camsim)
            PassCamsimFence();
        else
            PassResultFence();
    }

    void SearchAndWait(const CamsimProcess *camsim = nullptr)
    {
        window->OnSearch();
        WaitForSweepEnd(camsim);
    }

    void SendToWindow(const void *data, std::size_t length) { site.ToWindow(data, length); }
    void SendToWindow(const DISCOVERY_DATA &record) { SendToWindow(&record, sizeof record); }

    // The window handles its reply port's datagrams in the order they came. A result
    // fence is a set-configuration result for a camera the window awaits: once its
    // box shows, every datagram that came before it has been handled. The fence's box
    // is taken out again. Needs no other result awaited or on its way.
    void PassResultFence()
    {
        AwaitResultBox("fence", RESULT_INVALID_CONFIG, [&] { SendToWindow(Result("fence", RESULT_INVALID_CONFIG)); });
    }

    // The same through camsim, which answers in order from one socket: every answer
    // camsim sent before it has been handled once the window shows the answer to a
    // wrong login for camera 1.
    void PassCamsimFence()
    {
        const std::string mac = GeneratedMac(1);
        AwaitResultBox(mac, RESULT_LOGIN_FAILED, [&] { site.ToCameras(WrongLogin(mac)); });
    }

    // camsim logs every command in the order they came, answered or not: once it has
    // logged one for a camera it does not play, it has logged every command before.
    void PassCamsimLogFence(const CamsimProcess &camsim)
    {
        const std::string line = "ignore set-config mac=fence ";
        const int before = camsim.CountLog(line);
        site.ToCameras(WrongLogin("fence"));
        ASSERT_TRUE(camsim.WaitForLog(line, kFenceTimeoutMs, before + 1)) << "camsim did not log the fence";
    }

    // Awaits a reply during a sweep: listed once everything sent before it has been
    // handled. For steps where the awaited result itself is under test.
    void PassReplyFence()
    {
        ASSERT_TRUE(window->IsSweepRunning()) << "a reply fence needs a running sweep";
        const std::string mac = "fence-" + std::to_string(++m_replyFences);
        SendToWindow(CameraRecord(mac, "10.0.0.250"));
        const auto listed = [&] {
            for (int row = 0; row < window->RowCount(); ++row)
                if (window->m_listDevices->item(row, 1)->text().toStdString() == mac)
                    return true;
            return false;
        };
        ProcessEventsUntil(listed, kFenceTimeoutMs);
        ASSERT_TRUE(listed()) << "the reply fence " << mac << " was not listed";
    }

    SiteSocket site;
    MessageRecorder boxes{IDNO}; // Yes/No boxes are refused unless a test says otherwise
    std::unique_ptr<CLanscoutDlg> window;

private:
    template <typename Send>
    void AwaitResultBox(const std::string &mac, std::int32_t result, Send send)
    {
        ASSERT_TRUE(g_strPendingMAC.empty()) << "a result fence needs no other result awaited";
        const std::size_t before = boxes.boxes.size();
        g_strPendingMAC = mac;
        send();
        const std::string text = ResultMessage(result);
        const auto shown = [&] { return boxes.boxes.size() > before && boxes.boxes.back().text == text; };
        ProcessEventsUntil(shown, kFenceTimeoutMs);
        ASSERT_TRUE(shown()) << "the fence for " << mac << " was not shown";
        ASSERT_EQ(boxes.boxes.size(), before + 1) << "a box came with the fence: " << boxes.Texts()[before];
        boxes.boxes.pop_back();
    }

    int m_replyFences = 0;
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
    WaitForSweepEnd(&camsim);
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
    WaitForSweepEnd(&camsim);
    EXPECT_EQ(window->RowCount(), 5);
}

TEST_F(DiscoveryWindow, CameraAnsweringAfterTheSweepIsNotListed)
{
    CamsimProcess camsim(CameraArgs(1, {"--late-ms", "5600"}));
    OpenWindow();
    WaitForSweepEnd(&camsim);
    ASSERT_TRUE(camsim.WaitForLog(" reply mac=", 3000)); // answered, late
    PassCamsimFence();
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
    ASSERT_TRUE(window->IsSweepRunning());
    PassResultFence();
    EXPECT_EQ(window->RowCount(), 5);
    EXPECT_EQ(Cell(*window, 4, 1), "M5");
    EXPECT_TRUE(boxes.boxes.empty());

    WaitForSweepEnd();
    SendToWindow(CameraRecord("M6", "10.0.0.6")); // outside a sweep
    PassResultFence();
    EXPECT_EQ(window->RowCount(), 5);
}

TEST_F(DiscoveryWindow, SetConfigurationResultsAreShownForTheAwaitedCamera)
{
    OpenWindow();
    WaitForSweepEnd();
    g_strPendingMAC = "M1";
    SendToWindow(Result("M1", RESULT_INVALID_PORT));
    ProcessEventsUntil([&] { return !boxes.boxes.empty(); }, 2000);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Failed. Invalid port"});
    EXPECT_TRUE(g_strPendingMAC.empty());

    // Which result is awaited is under test here, so the fences are replies, listed
    // during a sweep of their own.
    window->OnSearch();
    g_strPendingMAC = "M1";
    SendToWindow(Result("M2", RESULT_FAILED)); // another camera: nothing, and the wait ends
    SendToWindow(Result("M1", RESULT_LOGIN_FAILED));
    PassReplyFence();
    EXPECT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(g_strPendingMAC.empty());
    g_strPendingMAC = "M3";
    SendToWindow(Result("M3", 0));
    SendToWindow(Result("M3", 6));
    PassReplyFence();
    EXPECT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(g_strPendingMAC.empty());
}

TEST_F(DiscoveryWindow, SavedSettingsReachTheCamera)
{
    CamsimProcess camsim(CameraArgs(2));
    OpenWindow();
    WaitForSweepEnd(&camsim);
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
    EXPECT_EQ(g_strPendingMAC, mac);
    ASSERT_TRUE(camsim.WaitForLog("set-config mac=" + mac + " user=admin ", 2000));
    PassCamsimLogFence(camsim); // the command went out once
    EXPECT_EQ(camsim.CountLog("http=4464"), 1);
    EXPECT_EQ(camsim.CountLog("ip=10.77.1.77"), 1);
    DISCOVERY_DATA stored;
    window->m_devices.GetAt(1, stored);
    EXPECT_EQ(+stored.nType, DISCOVERY_SET_CONFIG);
    EXPECT_EQ(SlotText(stored.szIP), "10.77.1.77");
    // The camera's answer ends the wait, and a box for it would show in the same step.
    ProcessEventsUntil([&] { return g_strPendingMAC.empty(); }, kFenceTimeoutMs);
    EXPECT_TRUE(g_strPendingMAC.empty());
    EXPECT_EQ(boxes.boxes.size(), 2u); // result 0 shows nothing

    SearchAndWait(&camsim);
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
    WaitForSweepEnd(&camsim);
    ASSERT_EQ(window->RowCount(), 3);
    SetEditText(*window, IDC_PASSWORD, "vqxnt");

    window->SendDeviceCommand(DISCOVERY_REBOOT);
    std::string expected = "Check the IP and MAC on \"Reboot\"\n\n";
    for (int row = 0; row < 3; ++row)
        expected += "IP : " + Cell(*window, row, 2) + " / MAC : " + Cell(*window, row, 1) + "\n";
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.Texts().back(), expected);
    EXPECT_EQ(boxes.boxes.back().icon, MessageIcon::Question);
    PassCamsimLogFence(camsim);
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
    WaitForSweepEnd();
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

// A search whose send socket cannot bind runs no sweep: a reply that comes after it
// is not listed, though the search had already emptied the list for a new one.
TEST_F(DiscoveryWindow, SearchThatCannotBindListsNoReply)
{
    static const AdapterEntry gone{"gone", "10.99.99.99"};
    OpenWindow();
    WaitForSweepEnd();
    window->m_comboAdapter->addItem(QStringLiteral("gone : 10.99.99.99"), QVariant::fromValue(quintptr(&gone)));
    window->m_comboAdapter->setCurrentIndex(window->m_comboAdapter->count() - 1);
    window->OnSearch();
    ASSERT_FALSE(window->IsSweepRunning());
    SendToWindow(CameraRecord("M1", "10.0.0.1"));
    PassResultFence();
    EXPECT_EQ(window->RowCount(), 0);
}

TEST_F(DiscoveryWindow, ClosingDuringASweepEndsCleanly)
{
    CamsimProcess camsim(CameraArgs(3));
    OpenWindow();
    ProcessEventsFor(1500);
    ASSERT_TRUE(window->IsSweepRunning());
    window.reset();
    EXPECT_FALSE(g_bSearching);
    // The events the window posted before it closed run before a call posted now.
    bool served = false;
    QMetaObject::invokeMethod(QCoreApplication::instance(), [&] { served = true; }, Qt::QueuedConnection);
    ProcessEventsUntil([&] { return served; }, kFenceTimeoutMs);
    EXPECT_TRUE(served);
}
