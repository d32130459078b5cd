// The device list view and the details panel, driven through the real window with the
// mouse where the user would use it, over the cameras camsim plays.
#include "tests/gui/GuiTest.h"

#include "app/DeviceTableModel.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Listed in this order; their addresses sort otherwise as text.
const std::string kDome = "10.77.0.9";     // DHCP, https, HTTP port 8443
const std::string kCam = "10.77.0.10";     // admin / Site-pass-1
const std::string kBullet = "10.77.0.11";  // HTTP port 8080
const char *const kCameras = "[camera]\nmac = 02:00:00:00:07:01\nip = 10.77.0.9\nmode = dhcp\nmask = 255.255.255.0\n"
                             "http_port = 8443\nhttps = yes\naudio_send_port = 5001\nmodel = Dome 4K\nfirmware = V2.0\n"
                             "[camera]\nmac = 02:00:00:00:07:02\nip = 10.77.0.10\npassword = Site-pass-1\n"
                             "model = CAM-1\nfirmware = V1.2\n"
                             "[camera]\nmac = 02:00:00:00:07:03\nip = 10.77.0.11\nhttp_port = 8080\n"
                             "model = Bullet\nfirmware = V1.0\n";

constexpr int kAddressEdits[] = {IDC_IP, IDC_SUBNET_MASK, IDC_GATEWAY, IDC_DNS};

class Inventory : public CamerasWindowTest {
protected:
    Inventory() : CamerasWindowTest(kCameras) {}
    void SetUp() override
    {
        CamerasWindowTest::SetUp();
        ASSERT_EQ(RowCount(), 3);
    }

    void ClickHeader(int column)
    {
        QHeaderView &header = *List().horizontalHeader();
        QTest::mouseClick(header.viewport(), Qt::LeftButton, {},
                          QPoint(header.sectionViewportPosition(column) + 5, header.height() / 2));
    }

    QPoint CellCentre(int row, int column) const
    {
        return List().visualRect(List().model()->index(row, column)).center();
    }

    std::vector<std::string> Column(int column) const
    {
        std::vector<std::string> texts;
        for (int row = 0; row < RowCount(); ++row)
            texts.push_back(CellText(row, column));
        return texts;
    }

    QString Text(int id) const { return Get<QLineEdit>(id)->text(); }
};

using DeviceList = Inventory;
using DetailsPanel = Inventory;
using ExportAndWebPage = Inventory;
using ModeButtons = MainWindowTest;

// A camera's reply as one on the site would send it, straight to the window's reply port.
void SendReplyToWindow(const DISCOVERY_DATA &record)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(DISCOVERY_RECV_PORT);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::sendto(fd, &record, sizeof record, 0, reinterpret_cast<sockaddr *>(&to), sizeof to),
              ssize_t(sizeof record));
    ::close(fd);
}

// The list export writes into the current folder: a folder of the test's own.
class InFreshFolder final {
public:
    InFreshFolder() : m_previous(std::filesystem::current_path())
    {
        char folder[] = "/tmp/lanscout-export-XXXXXX";
        if (!::mkdtemp(folder))
            throw std::runtime_error("cannot make the export's folder");
        m_folder = folder;
        std::filesystem::current_path(m_folder);
    }
    ~InFreshFolder()
    {
        std::filesystem::current_path(m_previous);
        std::filesystem::remove_all(m_folder);
    }
    InFreshFolder(const InFreshFolder &) = delete;
    InFreshFolder &operator=(const InFreshFolder &) = delete;

private:
    std::filesystem::path m_previous;
    std::filesystem::path m_folder;
};

} // namespace

TEST_F(DeviceList, ShowsEachCameraUnderSixCaptions)
{
    const char *captions[] = {"Index", "MAC ADDRESS", "IP ADDRESS", "PRODUCT NAME", "FIRMWARE VERSION", "Status"};
    const int widths[] = {50, 130, 115, 200, 200, 110};
    ASSERT_EQ(List().model()->columnCount(), 6);
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(List().model()->headerData(k, Qt::Horizontal).toString(), QString::fromLatin1(captions[k]));
        EXPECT_EQ(List().columnWidth(k), widths[k]);
    }
    EXPECT_TRUE(List().showGrid());
    EXPECT_EQ(List().selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(List().selectionMode(), QAbstractItemView::ExtendedSelection);
    const std::vector<std::vector<std::string>> rows = {
        {"1", "02:00:00:00:07:01", kDome, "Dome 4K", "V2.0", ""},
        {"2", "02:00:00:00:07:02", kCam, "CAM-1", "V1.2", ""},
        {"3", "02:00:00:00:07:03", kBullet, "Bullet", "V1.0", ""},
    };
    for (int row = 0; row < 3; ++row)
        for (int k = 0; k < 6; ++k) {
            EXPECT_EQ(CellText(row, k), rows[std::size_t(row)][std::size_t(k)]) << row << "," << k;
            EXPECT_FALSE(List().model()->index(row, k).data(Qt::CheckStateRole).isValid()) << "no check boxes";
        }
}

// The view follows the list's order; the highlight and the current row stay on the
// camera of the details panel, which the actions work on.
TEST_F(DeviceList, HeaderClicksReorderTheViewAndTheHighlightFollows)
{
    QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, CellCentre(RowOf(kDome), 1));
    const auto expectHighlightOn = [&](int row) {
        const QModelIndexList highlighted = List().selectionModel()->selectedRows();
        ASSERT_EQ(highlighted.size(), 1);
        EXPECT_EQ(highlighted.front().row(), row);
        EXPECT_EQ(List().currentIndex().row(), row);
    };
    ClickHeader(CDeviceList::kIpColumn);
    EXPECT_EQ(Column(2), (std::vector<std::string>{kCam, kBullet, kDome}));
    EXPECT_EQ(Column(0), (std::vector<std::string>{"2", "3", "1"}));
    expectHighlightOn(2);
    ClickHeader(CDeviceList::kIpColumn);
    EXPECT_EQ(Column(2), (std::vector<std::string>{kDome, kBullet, kCam}));
    expectHighlightOn(0);
    EXPECT_EQ(Text(IDC_MODEL_NAME), QStringLiteral("Dome 4K"));

    ClickHeader(CDeviceList::kIndexColumn); // checks every row, sorts nothing
    EXPECT_EQ(Column(0), (std::vector<std::string>{"1", "3", "2"}));
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(List().model()->index(row, 0).data(CDeviceTableModel::kStateImageRole).toInt(), 2) << row;
    expectHighlightOn(0);
}

TEST_F(DetailsPanel, RowClickFillsThePanel)
{
    Get<QLineEdit>(IDC_DEVICE_INFO)->setText(QStringLiteral("left over"));
    ClickCamera(kDome);
    EXPECT_TRUE(Get<QRadioButton>(IDC_DHCP)->isChecked());
    EXPECT_FALSE(Get<QRadioButton>(IDC_STATIC)->isChecked());
    for (int id : kAddressEdits)
        EXPECT_FALSE(Get<QLineEdit>(id)->isEnabled()) << "DHCP: shown, not edited; " << id;
    const std::vector<std::pair<int, const char *>> shown = {
        {IDC_IP, "10.77.0.9"},    {IDC_SUBNET_MASK, "255.255.255.0"}, {IDC_MODEL_NAME, "Dome 4K"},
        {IDC_DEVICE_INFO, ""},    {IDC_HTTP_PORT, "8443"},            {IDC_DATA_PORT, "4520"},
        {IDC_RTSP_PORT, "554"},   {IDC_AUDIO_TX_PORT, "5001"},        {IDC_AUDIO_RX_PORT, "4522"},
    };
    for (const auto &[id, text] : shown)
        EXPECT_EQ(Text(id), QString::fromLatin1(text)) << id;

    Get<QLineEdit>(IDC_HTTP_PORT)->setText(QStringLiteral("70000"));
    ClickCamera(kCam);
    EXPECT_EQ(Text(IDC_HTTP_PORT), QStringLiteral("80")) << "the camera's port over a typed one";
    EXPECT_TRUE(Get<QRadioButton>(IDC_STATIC)->isChecked());
    for (int id : kAddressEdits)
        EXPECT_TRUE(Get<QLineEdit>(id)->isEnabled()) << id;
}

TEST_F(DetailsPanel, OnlyAMouseClickOnARowSelects)
{
    ClickCamera(kDome);
    const QPoint belowTheRows(10, List().visualRect(List().model()->index(2, 0)).bottom() + 20);
    ASSERT_LT(belowTheRows.y(), List().viewport()->height());
    QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, belowTheRows);
    List().setFocus();
    QTest::keyClick(List().viewport(), Qt::Key_Down);
    ASSERT_EQ(List().currentIndex().row(), 1) << "the keyboard moves the highlight";
    EXPECT_EQ(Text(IDC_MODEL_NAME), QStringLiteral("Dome 4K"));
    EXPECT_EQ(Text(IDC_IP), QString::fromStdString(kDome));
}

// The buttons switch the address edits at once; the mode is read when the panel is.
TEST_F(ModeButtons, SwitchTheAddressEdits)
{
    for (int id : {IDC_DHCP, IDC_STATIC, IDC_DHCP}) {
        QTest::mouseClick(Get<QRadioButton>(id), Qt::LeftButton);
        for (int edit : kAddressEdits)
            EXPECT_EQ(Get<QLineEdit>(edit)->isEnabled(), id == IDC_STATIC) << id << " " << edit;
    }
}

// A search empties the panel. A camera in an address mode the window does not know
// checks neither button, and Save sends it as none.
TEST_F(DetailsPanel, SearchEmptiesThePanelAndAnUnknownModeChecksNeitherButton)
{
    ClickCamera(kDome);
    QTest::mouseClick(Get<QAbstractButton>(IDC_SEARCH), Qt::LeftButton);
    EXPECT_TRUE(Get<QRadioButton>(IDC_STATIC)->isChecked());
    for (int id : kAddressEdits) {
        EXPECT_TRUE(Get<QLineEdit>(id)->isEnabled()) << id;
        EXPECT_TRUE(Text(id).isEmpty()) << id;
    }
    for (int id : {IDC_HTTP_PORT, IDC_DATA_PORT, IDC_RTSP_PORT, IDC_AUDIO_TX_PORT, IDC_AUDIO_RX_PORT})
        EXPECT_EQ(Text(id), QStringLiteral("0")) << id;
    EXPECT_TRUE(Text(IDC_MODEL_NAME).isEmpty());

    // The search sends nothing before the window serves it, so this reply comes first
    // and the camera's own ones are its duplicates.
    DISCOVERY_DATA odd = CameraRecord("02:00:00:00:07:02", kCam, "CAM-1", "V1.2");
    odd.nIPMode = 7;
    SendReplyToWindow(odd);
    RunFirstSearchToEnd();
    ASSERT_EQ(RowCount(), 3);
    ClickCamera(kCam);
    EXPECT_FALSE(Get<QRadioButton>(IDC_STATIC)->isChecked());
    EXPECT_FALSE(Get<QRadioButton>(IDC_DHCP)->isChecked());
    EXPECT_FALSE(Get<QLineEdit>(IDC_IP)->isEnabled());
    Login("admin", "Site-pass-1");
    QTest::mouseClick(Get<QAbstractButton>(IDC_SAVE), Qt::LeftButton);
    EXPECT_TRUE(camsim->WaitForLog("set-config mac=02:00:00:00:07:02 user=admin mode=-1 ", 10000));
}

// The button ships hidden and disabled; the window still answers it.
TEST_F(ExportAndWebPage, ExportButtonWritesTheListAsShown)
{
    InFreshFolder folder;
    auto *button = Get<QAbstractButton>(IDC_FILE_SAVE_LIST);
    button->setEnabled(true);
    ClickHeader(CDeviceList::kIpColumn);
    button->click();
    std::ifstream in("SearchIPList.txt", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
              "[V1.2] 10.77.0.10\tCAM-1\r\n[V1.0] 10.77.0.11\tBullet\r\n[V2.0] 10.77.0.9\tDome 4K\r\n");
    EXPECT_TRUE(messages.boxes.empty());

    // Where the file should go: a folder, or a link, which is never written through.
    std::ofstream("victim.txt") << "the victim's own\n";
    const std::pair<std::function<void()>, std::string> refused[] = {
        {[] { std::filesystem::create_directory("SearchIPList.txt"); }, "it is a folder"},
        {[] { std::filesystem::create_symlink("victim.txt", "SearchIPList.txt"); }, "it is a link"},
    };
    for (const auto &[plant, reason] : refused) {
        std::filesystem::remove("SearchIPList.txt");
        plant();
        messages.boxes.clear();
        button->click();
        EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Failed to write SearchIPList.txt: " + reason});
    }
    std::ifstream victim("victim.txt", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(victim), {}), "the victim's own\n");
}

namespace {

// The desktop's launcher, xdg-open, replaced by one that writes down each address it
// is asked to open; QDesktopServices still makes the call. The launchers start
// detached; while this lives, the test process takes them in as its children, so that
// it can tell when every one of them has ended. Children from before (camsim) are none
// of its business.
class RecordedLauncher final {
public:
    RecordedLauncher() : m_others(Children())
    {
        if (::prctl(PR_SET_CHILD_SUBREAPER, 1) != 0)
            throw std::runtime_error("cannot take in the launchers");
        char folder[] = "/tmp/lanscout-launcher-XXXXXX";
        if (!::mkdtemp(folder))
            throw std::runtime_error("cannot make the launcher's folder");
        m_folder = folder;
        const std::string script = m_folder + "/xdg-open";
        std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << m_folder << "/opened'\n";
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        m_path = qgetenv("PATH");
        qputenv("PATH", QByteArray::fromStdString(m_folder) + ":" + m_path);
    }
    ~RecordedLauncher()
    {
        AwaitEveryLaunch();
        ::prctl(PR_SET_CHILD_SUBREAPER, 0);
        qputenv("PATH", m_path);
        std::filesystem::remove_all(m_folder);
    }
    RecordedLauncher(const RecordedLauncher &) = delete;
    RecordedLauncher &operator=(const RecordedLauncher &) = delete;

    // Fence: once no launcher is left, each one that was started has written its
    // address down. False when one still runs after 10 s.
    bool AwaitEveryLaunch() const
    {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            bool running = false;
            for (const pid_t child : Children())
                running = (!m_others.contains(child) && ::waitpid(child, nullptr, WNOHANG) == 0) || running;
            if (!running || clock.elapsed() > 10000)
                return !running;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    // In the order written down, which need not be the order of the clicks.
    std::multiset<std::string> Opened() const
    {
        std::multiset<std::string> lines;
        std::ifstream in(m_folder + "/opened");
        for (std::string line; std::getline(in, line);)
            lines.insert(line);
        return lines;
    }

private:
    static std::set<pid_t> Children()
    {
        std::set<pid_t> children;
        std::error_code error;
        for (const auto &entry : std::filesystem::directory_iterator("/proc", error)) {
            std::ifstream status(entry.path() / "status");
            for (std::string line; std::getline(status, line);)
                if (line.rfind("PPid:", 0) == 0) {
                    if (std::atoi(line.c_str() + 5) == ::getpid())
                        children.insert(std::atoi(entry.path().filename().c_str()));
                    break;
                }
        }
        return children;
    }

    const std::set<pid_t> m_others;
    std::string m_folder;
    QByteArray m_path;
};

} // namespace

TEST_F(ExportAndWebPage, DoubleClickOpensTheCameraPageInTheBrowser)
{
    RecordedLauncher launcher;
    const auto doubleClick = [&](const std::string &ip, int column) {
        const QPoint at = CellCentre(RowOf(ip), column);
        QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(List().viewport(), Qt::LeftButton, {}, at);
    };
    doubleClick(kDome, 2);
    doubleClick(kCam, 3);
    doubleClick(kBullet, 0); // the Index column opens nothing
    doubleClick(kBullet, 1);
    ASSERT_TRUE(launcher.AwaitEveryLaunch()) << "a launcher did not end";
    EXPECT_EQ(launcher.Opened(),
              (std::multiset<std::string>{"https://10.77.0.9", "http://10.77.0.10:80", "http://10.77.0.11:8080"}));
}
