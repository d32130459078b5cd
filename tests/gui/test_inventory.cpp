// The device list view, its sorting and the details panel, driven through the real
// window with the mouse where the user would use it.
#include "tests/gui/GuiTest.h"

#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>

namespace {

class Inventory : public MainWindowTest {
protected:
    QTableWidget &List() const { return *window->m_listDevices; }

    // What the reply handler does with a camera's answer.
    void Arrive(const DISCOVERY_DATA &record)
    {
        if (!window->IsDeviceListed(record)) {
            window->m_devices.AddTail(record);
            window->AddDeviceRow(record);
        }
    }

    void ClickHeader(int column)
    {
        QHeaderView &header = *List().horizontalHeader();
        QTest::mouseClick(header.viewport(), Qt::LeftButton, {},
                          QPoint(header.sectionViewportPosition(column) + 5, header.height() / 2));
    }

    void ClickRow(int row)
    {
        QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, List().visualRect(List().model()->index(row, 1)).center());
    }

    QString Cell(int row, int column) const { return List().item(row, column)->text(); }

    QStringList Column(int column) const
    {
        QStringList texts;
        for (int row = 0; row < List().rowCount(); ++row)
            texts << Cell(row, column);
        return texts;
    }

    // Row i must show record i: the rest of the program takes one for the other.
    void ExpectRowsShowTheirRecords() const
    {
        for (int row = 0; row < List().rowCount(); ++row) {
            DISCOVERY_DATA record;
            window->m_devices.GetAt(std::uint32_t(row), record);
            EXPECT_EQ(Cell(row, 1).toStdString(), SlotText(record.szMAC)) << "row " << row;
            EXPECT_EQ(Cell(row, 2).toStdString(), SlotText(record.szIP)) << "row " << row;
            EXPECT_EQ(Cell(row, 3).toStdString(), SlotText(record.szProductName)) << "row " << row;
        }
    }

    QLineEdit *Edit(int id) const { return Get<QLineEdit>(id); }
};

using DeviceList = Inventory;
using Sorting = Inventory;
using DetailsPanel = Inventory;

constexpr int kAddressEdits[] = {IDC_IP, IDC_SUBNET_MASK, IDC_GATEWAY, IDC_DNS};

} // namespace

TEST_F(DeviceList, HasFiveColumnsAndNoVisibleCheckBoxes)
{
    const QStringList captions = {"Index", "MAC ADDRESS", "IP ADDRESS", "PRODUCT NAME", "FIRMWARE VERSION"};
    const int widths[] = {50, 130, 115, 200, 200};
    ASSERT_EQ(List().columnCount(), 5);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(List().horizontalHeaderItem(k)->text(), captions[k]);
        EXPECT_EQ(List().columnWidth(k), widths[k]);
    }
    EXPECT_TRUE(List().showGrid());
    EXPECT_EQ(List().selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(List().selectionMode(), QAbstractItemView::ExtendedSelection);
    Arrive(CameraRecord("00:11:22:33:44:01", "10.77.0.10"));
    ClickHeader(0); // sets the row's check mark
    for (int k = 0; k < 5; ++k)
        EXPECT_FALSE(List().item(0, k)->data(Qt::CheckStateRole).isValid()) << "column " << k;
    EXPECT_EQ(window->GetCheckMark(0), 1);
}

TEST_F(DeviceList, NumbersRowsByArrivalAndListsEachCameraOnce)
{
    Arrive(CameraRecord("00:11:22:33:44:01", "10.77.0.10"));
    Arrive(CameraRecord("00:11:22:33:44:02", "10.77.0.11"));
    Arrive(CameraRecord("00:11:22:33:44:03", "10.77.0.12"));
    Arrive(CameraRecord("00:11:22:33:44:02", "10.77.0.11"));
    EXPECT_EQ(Column(0), (QStringList{"1", "2", "3"}));
    Arrive(CameraRecord("00:11:22:33:44:02", "10.77.0.99")); // a changed address is a new row
    Arrive(CameraRecord("", "10.77.0.50"));
    Arrive(CameraRecord("", "10.77.0.50")); // no MAC: never taken for a duplicate
    EXPECT_EQ(Column(0), (QStringList{"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(Cell(3, 2), QStringLiteral("10.77.0.99"));
    ExpectRowsShowTheirRecords();
}

TEST_F(Sorting, FourColumnsShareOneDirectionThatIndexClicksLeaveAlone)
{
    Arrive(CameraRecord("00:11:22:33:44:01", "10.0.0.9", "IPCAM", "2.0"));
    Arrive(CameraRecord("00:11:22:33:44:02", "10.0.0.10", "IPCAM", "1.0"));
    Arrive(CameraRecord("00:11:22:33:44:03", "10.0.0.2", "IPCAM", "3.0"));
    ClickHeader(2);
    EXPECT_EQ(Column(2), (QStringList{"10.0.0.10", "10.0.0.2", "10.0.0.9"})) << "ascending, as text";
    ClickHeader(0);
    ClickHeader(4);
    EXPECT_EQ(Column(4), (QStringList{"3.0", "2.0", "1.0"})) << "descending";
    ClickHeader(1);
    EXPECT_EQ(Column(1), (QStringList{"00:11:22:33:44:01", "00:11:22:33:44:02", "00:11:22:33:44:03"}));
    EXPECT_EQ(Column(0), (QStringList{"1", "2", "3"})) << "rows keep their arrival numbers";
    ExpectRowsShowTheirRecords();
}

TEST_F(Sorting, IndexClicksSetEveryCheckMarkInTurn)
{
    Arrive(CameraRecord("00:11:22:33:44:01", "10.77.0.10"));
    Arrive(CameraRecord("00:11:22:33:44:02", "10.77.0.11"));
    EXPECT_EQ(window->GetCheckMark(0), -1);
    EXPECT_EQ(window->GetCheckMark(1), -1);
    ClickHeader(0);
    EXPECT_EQ(window->GetCheckMark(0), 1);
    EXPECT_EQ(window->GetCheckMark(1), 1);
    ClickHeader(2); // marks travel with their rows
    ClickHeader(0);
    EXPECT_EQ(window->GetCheckMark(0), 0);
    EXPECT_EQ(window->GetCheckMark(1), 0);
    Arrive(CameraRecord("00:11:22:33:44:03", "10.77.0.12"));
    EXPECT_EQ(window->GetCheckMark(2), -1);
    EXPECT_EQ(window->m_bSortAscending, 1);
}

TEST_F(Sorting, SelectedIndexFollowsTheSelectedDevice)
{
    Arrive(CameraRecord("00:11:22:33:44:01", "10.77.0.12"));
    Arrive(CameraRecord("00:11:22:33:44:02", "10.77.0.11"));
    Arrive(CameraRecord("00:11:22:33:44:03", "10.77.0.10"));
    ClickHeader(2);
    EXPECT_EQ(window->m_nSelectedIndex, -1) << "no selection stays none";
    ClickHeader(2); // descending: 10.77.0.12 first
    ClickRow(2);
    ASSERT_EQ(window->m_nSelectedIndex, 2);
    EXPECT_EQ(g_strSelectedMAC, "00:11:22:33:44:03");
    ClickHeader(2); // ascending: the selected camera moves to the top
    EXPECT_EQ(window->m_nSelectedIndex, 0);
    EXPECT_EQ(Cell(0, 1), QStringLiteral("00:11:22:33:44:03"));
    // The highlight moves with it: the marked row is the camera the panel shows.
    const QModelIndexList highlighted = List().selectionModel()->selectedRows();
    ASSERT_EQ(highlighted.size(), 1);
    EXPECT_EQ(highlighted.front().row(), 0);
}

TEST_F(Sorting, RowsAndRecordsStayInStepAfterEverySort)
{
    const char *products[] = {"Dome", "Bullet", "Dome", "PTZ", "Bullet", "Dome"};
    std::map<QString, QString> indexOfMac;
    for (int i = 0; i < 6; ++i) {
        const std::string n = std::to_string(i);
        Arrive(CameraRecord("00:11:22:33:44:0" + n, "10.77.0." + std::to_string(20 - i), products[i], "1." + n));
        indexOfMac[Cell(i, 1)] = Cell(i, 0);
    }
    for (int column : {3, 1, 4, 0, 2, 3, 3, 0}) {
        ClickHeader(column);
        SCOPED_TRACE("after a click on column " + std::to_string(column));
        ExpectRowsShowTheirRecords();
        for (int row = 0; row < 6; ++row)
            EXPECT_EQ(Cell(row, 0), indexOfMac[Cell(row, 1)]);
    }
}

TEST_F(Sorting, HeaderClickWithoutRowsOnlyFlipsItsFlag)
{
    ClickHeader(3);
    EXPECT_EQ(window->m_bSortAscending, 1);
    EXPECT_EQ(window->m_bCheckAll, 0);
    ClickHeader(0);
    EXPECT_EQ(window->m_bCheckAll, 1);
    EXPECT_EQ(window->m_bSortAscending, 1);
    EXPECT_EQ(window->SortDeviceList(4, true), 1);
    EXPECT_EQ(List().rowCount(), 0);
}

TEST_F(DetailsPanel, DhcpCameraDisablesTheAddressEditsButFillsThem)
{
    DISCOVERY_DATA dhcp = CameraRecord("00:11:22:33:44:01", "10.77.0.10", "Dome 4K");
    dhcp.nIPMode = IP_MODE_DHCP;
    dhcp.wHttpPort = 8080;
    dhcp.wRtspPort = 554;
    dhcp.wAudioSendPort = 5001;
    dhcp.bHttps = 1;
    Arrive(dhcp);
    Arrive(CameraRecord("00:11:22:33:44:02", "10.77.0.11"));
    Edit(IDC_DEVICE_INFO)->setText(QStringLiteral("left over"));

    ClickRow(0);
    EXPECT_TRUE(Get<QRadioButton>(IDC_DHCP)->isChecked());
    EXPECT_FALSE(Get<QRadioButton>(IDC_STATIC)->isChecked());
    for (int id : kAddressEdits)
        EXPECT_FALSE(Edit(id)->isEnabled()) << id;
    EXPECT_EQ(Edit(IDC_IP)->text(), QStringLiteral("10.77.0.10"));
    EXPECT_EQ(Edit(IDC_SUBNET_MASK)->text(), QStringLiteral("255.255.255.0"));
    EXPECT_EQ(Edit(IDC_MODEL_NAME)->text(), QStringLiteral("Dome 4K"));
    EXPECT_TRUE(Edit(IDC_DEVICE_INFO)->text().isEmpty());
    EXPECT_EQ(Edit(IDC_HTTP_PORT)->text(), QStringLiteral("8080"));
    EXPECT_EQ(Edit(IDC_RTSP_PORT)->text(), QStringLiteral("554"));
    EXPECT_EQ(Edit(IDC_AUDIO_TX_PORT)->text(), QStringLiteral("5001"));
    EXPECT_EQ(window->m_bHttps, 1);
    EXPECT_EQ(g_strSelectedMAC, "00:11:22:33:44:01");

    ClickRow(1);
    EXPECT_TRUE(Get<QRadioButton>(IDC_STATIC)->isChecked());
    for (int id : kAddressEdits)
        EXPECT_TRUE(Edit(id)->isEnabled()) << id;
    EXPECT_EQ(window->m_nSelectedIndex, 1);
    EXPECT_EQ(window->m_bHttps, 0);
}

TEST_F(DetailsPanel, ClickShowsTheCameraPortOverATypedOne)
{
    Arrive(CameraRecord("00:11:22:33:44:01", "10.77.0.10"));
    Edit(IDC_HTTP_PORT)->setText(QStringLiteral("70000"));
    ASSERT_TRUE(window->BindControls(true));
    EXPECT_EQ(window->m_nHttpPort, 70000);
    ClickRow(0);
    EXPECT_EQ(Edit(IDC_HTTP_PORT)->text(), QStringLiteral("80"));
    EXPECT_EQ(window->m_nHttpPort, 80);
}

TEST_F(DetailsPanel, OnlyAMouseClickOnARowSelects)
{
    Arrive(CameraRecord("00:11:22:33:44:01", "10.77.0.10", "Dome"));
    Arrive(CameraRecord("00:11:22:33:44:02", "10.77.0.11", "Bullet"));
    ClickRow(0);
    const QPoint belowTheRows(10, List().visualRect(List().model()->index(1, 0)).bottom() + 20);
    ASSERT_LT(belowTheRows.y(), List().viewport()->height());
    QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, belowTheRows);
    List().setFocus();
    QTest::keyClick(List().viewport(), Qt::Key_Down);
    ASSERT_EQ(List().currentRow(), 1) << "the keyboard moves the highlight";
    EXPECT_EQ(window->m_nSelectedIndex, 0);
    EXPECT_EQ(Edit(IDC_MODEL_NAME)->text(), QStringLiteral("Dome"));
    EXPECT_EQ(g_strSelectedMAC, "00:11:22:33:44:01");
}

TEST_F(DetailsPanel, UnknownAddressModeChecksNeitherButton)
{
    DISCOVERY_DATA odd = CameraRecord("00:11:22:33:44:01", "10.77.0.10");
    odd.nIPMode = 7;
    Arrive(odd);
    ClickRow(0);
    EXPECT_FALSE(Get<QRadioButton>(IDC_STATIC)->isChecked());
    EXPECT_FALSE(Get<QRadioButton>(IDC_DHCP)->isChecked());
    EXPECT_FALSE(Edit(IDC_IP)->isEnabled());
    ASSERT_TRUE(window->BindControls(true));
    EXPECT_EQ(window->m_nIpMode, -1);
}

TEST_F(DetailsPanel, ModeButtonsSwitchTheAddressEditsOnly)
{
    QTest::mouseClick(Get<QRadioButton>(IDC_DHCP), Qt::LeftButton);
    for (int id : kAddressEdits)
        EXPECT_FALSE(Edit(id)->isEnabled()) << id;
    EXPECT_EQ(window->m_nIpMode, 0) << "the member changes only when the controls are read";
    QTest::mouseClick(Get<QRadioButton>(IDC_STATIC), Qt::LeftButton);
    for (int id : kAddressEdits)
        EXPECT_TRUE(Edit(id)->isEnabled()) << id;
    QTest::mouseClick(Get<QRadioButton>(IDC_DHCP), Qt::LeftButton);
    ASSERT_TRUE(window->BindControls(true));
    EXPECT_EQ(window->m_nIpMode, 1);
}

TEST_F(DetailsPanel, ClearingEmptiesThePanelButKeepsTheHttpsFlag)
{
    DISCOVERY_DATA dhcp = CameraRecord("00:11:22:33:44:01", "10.77.0.10");
    dhcp.nIPMode = IP_MODE_DHCP;
    dhcp.bHttps = 1;
    dhcp.wDataPort = 9000;
    Arrive(dhcp);
    ClickRow(0);
    window->ClearDetails();
    EXPECT_TRUE(Get<QRadioButton>(IDC_STATIC)->isChecked());
    for (int id : kAddressEdits) {
        EXPECT_TRUE(Edit(id)->isEnabled()) << id;
        EXPECT_TRUE(Edit(id)->text().isEmpty()) << id;
    }
    for (int id : {IDC_HTTP_PORT, IDC_DATA_PORT, IDC_RTSP_PORT, IDC_AUDIO_TX_PORT, IDC_AUDIO_RX_PORT})
        EXPECT_EQ(Edit(id)->text(), QStringLiteral("0")) << id;
    EXPECT_TRUE(Edit(IDC_MODEL_NAME)->text().isEmpty());
    EXPECT_TRUE(Edit(IDC_DEVICE_INFO)->text().isEmpty());
    EXPECT_EQ(window->m_bHttps, 1);
    EXPECT_EQ(window->m_nSelectedIndex, 0);
    EXPECT_EQ(g_strSelectedMAC, "00:11:22:33:44:01");
}

namespace {

// The list export writes into the current folder: each test gets its own.
class ExportAndWebPage : public Inventory {
protected:
    void SetUp() override
    {
        Inventory::SetUp();
        char folder[] = "/tmp/lanscout-export-XXXXXX";
        ASSERT_NE(::mkdtemp(folder), nullptr);
        m_folder = folder;
        m_previous = std::filesystem::current_path();
        std::filesystem::current_path(m_folder);
    }
    void TearDown() override
    {
        std::filesystem::current_path(m_previous);
        std::filesystem::remove_all(m_folder);
        Inventory::TearDown();
    }
    static std::string ExportedBytes()
    {
        std::ifstream in("SearchIPList.txt", std::ios::binary);
        EXPECT_TRUE(in.good()) << "no SearchIPList.txt";
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void DoubleClick(int row, int column)
    {
        const QPoint at = List().visualRect(List().model()->index(row, column)).center();
        QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(List().viewport(), Qt::LeftButton, {}, at);
    }

private:
    std::filesystem::path m_folder;
    std::filesystem::path m_previous;
};

// The desktop's launcher, xdg-open, replaced by one that writes down each address
// it is asked to open; QDesktopServices still makes the call. The launchers start
// detached; while this lives, the test process takes them in as its children, so
// that it can tell when every one of them has ended.
class RecordedLauncher final {
public:
    RecordedLauncher()
    {
        if (::prctl(PR_SET_CHILD_SUBREAPER, 1) != 0)
            throw std::runtime_error("cannot take in the launchers");
        char folder[] = "/tmp/lanscout-launcher-XXXXXX";
        if (!::mkdtemp(folder))
            throw std::runtime_error("cannot make the launcher's folder");
        m_folder = folder;
        m_record = m_folder + "/opened";
        const std::string script = m_folder + "/xdg-open";
        std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << m_record << "'\n";
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
    static bool AwaitEveryLaunch()
    {
        return Poll([] {
            pid_t ended = 0;
            while ((ended = ::waitpid(-1, nullptr, WNOHANG)) > 0) {
            }
            return ended < 0 && errno == ECHILD;
        });
    }

    // Waits until the launchers have written down n addresses. The launchers run on
    // their own, so the window's events are left alone meanwhile: serving them would
    // let the first search start and lock the list.
    bool AwaitOpened(std::size_t n) const
    {
        return Poll([&] { return Opened().size() >= n; });
    }

    std::vector<std::string> Opened() const
    {
        std::vector<std::string> lines;
        std::ifstream in(m_record);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

private:
    static bool Poll(const std::function<bool()> &done)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < 10000)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return done();
    }

    std::string m_folder;
    std::string m_record;
    QByteArray m_path;
};

} // namespace

TEST_F(ExportAndWebPage, ExportWritesTheRowsAsShown)
{
    window->OnFileSaveList();
    EXPECT_EQ(ExportedBytes(), "") << "an empty list still makes the file";

    Arrive(CameraRecord("00:11:22:33:44:01", "10.77.0.12", "CAM-1", "V1.2"));
    Arrive(CameraRecord("00:11:22:33:44:02", "10.77.0.11", "Dome \xC4", "V2.0"));
    window->OnFileSaveList();
    EXPECT_EQ(ExportedBytes(), "[V1.2] 10.77.0.12\tCAM-1\r\n[V2.0] 10.77.0.11\tDome \xC4\r\n");
    ClickHeader(2);
    window->OnFileSaveList();
    EXPECT_EQ(ExportedBytes(), "[V2.0] 10.77.0.11\tDome \xC4\r\n[V1.2] 10.77.0.12\tCAM-1\r\n")
        << "the file follows the sorted rows and replaces the last one";
    EXPECT_TRUE(messages.boxes.empty());
}

TEST_F(ExportAndWebPage, ExportThatCannotBeWrittenSaysSo)
{
    std::filesystem::create_directory("SearchIPList.txt"); // a folder where the file should go
    window->OnFileSaveList();
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].text.rfind("Failed to write SearchIPList.txt", 0), 0u) << messages.boxes[0].text;
}

TEST_F(ExportAndWebPage, DoubleClickOpensTheCameraPageInTheBrowser)
{
    RecordedLauncher launcher;
    DISCOVERY_DATA plain = CameraRecord("00:11:22:33:44:01", "10.77.0.10");
    DISCOVERY_DATA secure = CameraRecord("00:11:22:33:44:02", "10.77.0.11");
    secure.bHttps = 1;
    secure.wHttpPort = 8443;
    DISCOVERY_DATA other = CameraRecord("00:11:22:33:44:03", "10.77.0.12");
    other.wHttpPort = 8080;
    Arrive(plain);
    Arrive(secure);
    Arrive(other);
    // Each launch is written down before the next click, so the addresses come in order.
    DoubleClick(0, 2);
    EXPECT_TRUE(launcher.AwaitOpened(1));
    DoubleClick(1, 3);
    EXPECT_TRUE(launcher.AwaitOpened(2));
    DoubleClick(2, 0); // the Index column opens nothing
    DoubleClick(2, 1);
    const std::vector<std::string> expected = {"http://10.77.0.10:80", "https://10.77.0.11",
                                               "http://10.77.0.12:8080"};
    EXPECT_TRUE(launcher.AwaitOpened(expected.size()));
    ASSERT_TRUE(launcher.AwaitEveryLaunch()) << "a launcher did not end";
    EXPECT_EQ(launcher.Opened(), expected);
}
