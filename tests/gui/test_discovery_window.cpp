// Searching and saving through the window's controls, with camsim playing the cameras
// on the other side of the lab's link. The search's own rules are checked without a
// window (test_lab_search, test_lab_session).
#include "tests/gui/GuiTest.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char *const kCameras = "[camera]\nmac = 02:00:00:00:05:00\nip = 10.77.0.10\npassword = Site-pass-1\n"
                             "[camera]\nmac = 02:00:00:00:05:01\nip = 10.77.0.11\npassword = Site-pass-1\n"
                             "[camera]\nmac = 02:00:00:00:05:02\nip = 10.77.0.12\npassword = Site-pass-1\n";

class DiscoveryWindow : public CamerasWindowTest {
protected:
    DiscoveryWindow() : CamerasWindowTest(kCameras) {}

    std::vector<std::string> Column(int column) const
    {
        std::vector<std::string> texts;
        for (int row = 0; row < RowCount(); ++row)
            texts.push_back(CellText(row, column));
        return texts;
    }
    void SetEdit(int id, const std::string &text) { Get<QLineEdit>(id)->setText(QString::fromLatin1(text.c_str())); }
    std::string Edit(int id) const { return Get<QLineEdit>(id)->text().toStdString(); }
    // Starts a search as the user does and lets it run to its end.
    void Search()
    {
        Get<QAbstractButton>(IDC_SEARCH)->click();
        RunFirstSearchToEnd();
    }
};

// Milliseconds stamped on camsim's log lines that contain the needle.
std::vector<long> LogTimes(const CamsimProcess &camsim, const std::string &needle)
{
    std::vector<long> times;
    for (const std::string &line : camsim.LogLines())
        if (line.find(needle) != std::string::npos)
            times.push_back(std::atol(line.c_str()));
    return times;
}

} // namespace

// The window's first search lists the cameras numbered in the order they answered,
// its five searches a second apart; a new search empties the list and the panel at once.
TEST_F(DiscoveryWindow, ListsTheCamerasAndANewSearchStartsEmpty)
{
    EXPECT_EQ(Column(0), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(Column(1), (std::vector<std::string>{"02:00:00:00:05:00", "02:00:00:00:05:01", "02:00:00:00:05:02"}));
    EXPECT_EQ(Column(2), (std::vector<std::string>{"10.77.0.10", "10.77.0.11", "10.77.0.12"}));
    const std::vector<long> searches = LogTimes(*camsim, "recv search");
    ASSERT_EQ(searches.size(), 5u);
    for (std::size_t i = 1; i < searches.size(); ++i) {
        EXPECT_GT(searches[i] - searches[i - 1], 800) << i;
        EXPECT_LT(searches[i] - searches[i - 1], 1500) << i;
    }

    ClickCamera("10.77.0.11");
    ASSERT_EQ(Edit(IDC_IP), "10.77.0.11");
    Get<QAbstractButton>(IDC_SEARCH)->click();
    EXPECT_EQ(RowCount(), 0);
    EXPECT_EQ(Edit(IDC_IP), "");
    EXPECT_EQ(Edit(IDC_MODEL_NAME), "");
    RunFirstSearchToEnd();
    EXPECT_EQ(RowCount(), 3);
    EXPECT_TRUE(messages.boxes.empty());
}

// The searches leave through the adapter the selector shows: through the loopback none
// reaches a camera. camsim logs the searches in the order they came, so once the next
// sweep's are logged, any of the loopback sweep's would have been too.
TEST_F(DiscoveryWindow, SearchGoesThroughTheChosenAdapter)
{
    auto *adapters = Get<QComboBox>(IDC_ADAPTER);
    ASSERT_EQ(adapters->itemText(adapters->count() - 1), QStringLiteral("lo : 127.0.0.1"));
    adapters->setCurrentIndex(adapters->count() - 1);
    Search();
    EXPECT_EQ(RowCount(), 0);
    adapters->setCurrentIndex(0);
    Search();
    EXPECT_EQ(RowCount(), 3);
    EXPECT_EQ(camsim->CountLog("recv search"), 2 * CDiscoverySession::kSearchSends);
}

// Save sends the panel's settings as the edits read (the HTTP port cut to 16 bits) and
// starts a new search, which lists the camera where it went; a refused setting comes
// back as the camera's result in a box.
TEST_F(DiscoveryWindow, SaveSendsThePanelAndShowsTheCamerasResult)
{
    const struct {
        const char *ip, *mac, *newIp, *httpPort, *logged;
        std::vector<std::string> boxes;
    } cases[] = {
        {"10.77.0.10", "02:00:00:00:05:00", "10.77.1.77", "70000", " mode=0 ip=10.77.1.77 http=4464 ", {}},
        {"10.77.0.11", "02:00:00:00:05:01", "10.77.0.11", "0", " mode=0 ip=10.77.0.11 http=0 ", {"Failed. Invalid port"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.ip);
        messages.boxes.clear();
        ClickCamera(c.ip);
        Login("admin", "Site-pass-1");
        SetEdit(IDC_IP, c.newIp);
        SetEdit(IDC_HTTP_PORT, c.httpPort);
        Get<QAbstractButton>(IDC_SAVE)->click();
        EXPECT_TRUE(window->IsSearchRunning()) << "a new search follows";
        RunFirstSearchToEnd();
        EXPECT_EQ(camsim->CountLog(std::string("set-config mac=") + c.mac + " user=admin" + c.logged), 1);
        EXPECT_EQ(CellText(RowOf(c.newIp), 1), c.mac);
        EXPECT_EQ(messages.Texts(), c.boxes);
    }
}
