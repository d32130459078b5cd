// The real main window, offscreen, inside a lab namespace of its own.
#include "app/LanscoutDlg.h"
#include "discovery/UDPSocket.h"
#include "platform/DialogTemplate.h"
#include "tests/gui/GuiTestSupport.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

QString EditText(const CLanscoutDlg &w, int id)
{
    return qobject_cast<QLineEdit *>(w.Control(id))->text();
}

void SetEditText(const CLanscoutDlg &w, int id, const char *text)
{
    qobject_cast<QLineEdit *>(w.Control(id))->setText(QString::fromLatin1(text));
}

bool IsChecked(const CLanscoutDlg &w, int id)
{
    return qobject_cast<QAbstractButton *>(w.Control(id))->isChecked();
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<CLanscoutDlg>();
        ASSERT_TRUE(window->Create());
        window->show();
    }

    void AddCamera(const DISCOVERY_DATA &record)
    {
        window->m_devices.AddTail(record);
        window->AddDeviceRow(record);
    }

    QString Cell(int row, int column) const { return window->m_listDevices->item(row, column)->text(); }

    // Row i must show record i, whatever happened to the order.
    void ExpectRowsMatchRecords() const
    {
        for (int i = 0; i < window->RowCount(); ++i) {
            DISCOVERY_DATA record;
            window->m_devices.GetAt(std::uint32_t(i), record);
            EXPECT_EQ(Cell(i, 1).toStdString(), SlotText(record.szMAC)) << i;
            EXPECT_EQ(Cell(i, 2).toStdString(), SlotText(record.szIP)) << i;
        }
    }

    MessageRecorder boxes;
    std::unique_ptr<CLanscoutDlg> window;
};

} // namespace

TEST_F(MainWindow, StartsWithStaticModeZeroPortsAndTheFactoryUser)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quorvane Camera Setup Utility (11.00.0104)"));
    EXPECT_TRUE(IsChecked(*window, IDC_STATIC));
    EXPECT_FALSE(IsChecked(*window, IDC_DHCP));
    for (int id : {IDC_HTTP_PORT, IDC_DATA_PORT, IDC_RTSP_PORT, IDC_AUDIO_TX_PORT, IDC_AUDIO_RX_PORT})
        EXPECT_EQ(EditText(*window, id), QStringLiteral("0")) << id;
    EXPECT_EQ(EditText(*window, IDC_USER_ID), QStringLiteral("admin"));
    EXPECT_FALSE(window->Control(IDC_DATA_PORT)->isEnabled());
    EXPECT_TRUE(window->Control(IDC_REBOOT)->isHidden());
    EXPECT_TRUE(window->Control(IDC_FILE_SAVE_LIST)->isHidden());
    EXPECT_EQ(window->m_listDevices->columnCount(), 5);
    EXPECT_EQ(window->m_listDevices->horizontalHeaderItem(4)->text(), QStringLiteral("FIRMWARE VERSION"));
    EXPECT_EQ(window->m_listDevices->columnWidth(1), 130);
    // The lab's adapter is listed, and chosen before the loopback.
    EXPECT_EQ(window->m_comboAdapter->currentText(), QStringLiteral("veth-t : 10.77.0.1"));
    EXPECT_TRUE(window->IsSweepRunning()); // the first search starts with the window
}

TEST_F(MainWindow, EnterReadsThePortsBeforeClosing)
{
    SetEditText(*window, IDC_HTTP_PORT, "abc");
    window->Control(IDC_HTTP_PORT)->setFocus();
    QTest::keyClick(window.get(), Qt::Key_Return);
    ASSERT_EQ(boxes.messages, std::vector<std::string>{"Enter an integer."});
    EXPECT_EQ(boxes.icons.front(), MessageIcon::Warning);
    EXPECT_EQ(boxes.captions.front(), "test_main_window");
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(qobject_cast<QLineEdit *>(window->Control(IDC_HTTP_PORT))->selectedText(), QStringLiteral("abc"));

    SetEditText(*window, IDC_HTTP_PORT, "  8080abc");
    SetEditText(*window, IDC_RTSP_PORT, "");
    QTest::keyClick(window.get(), Qt::Key_Return);
    EXPECT_EQ(window->m_nHttpPort, 8080); // read before the failing edit, and kept
    EXPECT_EQ(boxes.messages.size(), 2u);
    EXPECT_TRUE(window->isVisible());

    SetEditText(*window, IDC_RTSP_PORT, "554");
    QTest::keyClick(window.get(), Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);
}

TEST_F(MainWindow, EscapeClosesWithoutChecks)
{
    SetEditText(*window, IDC_HTTP_PORT, "abc");
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(MainWindow, SortingKeepsRowsRecordsAndSelectionTogether)
{
    AddCamera(CameraReply("00:00:00:00:00:0B", "10.0.0.9", "B", 0, 80));
    AddCamera(CameraReply("00:00:00:00:00:0A", "10.0.0.10", "A", 0, 80));
    AddCamera(CameraReply("00:00:00:00:00:0C", "10.0.0.1", "C", 0, 80));
    window->m_nSelectedIndex = 2;

    window->OnColumnClick(2); // IP ADDRESS, ascending, as plain text
    EXPECT_EQ(Cell(0, 2), QStringLiteral("10.0.0.1"));
    EXPECT_EQ(Cell(1, 2), QStringLiteral("10.0.0.10"));
    EXPECT_EQ(Cell(2, 2), QStringLiteral("10.0.0.9"));
    EXPECT_EQ(window->m_nSelectedIndex, 0);
    EXPECT_EQ(Cell(0, 0), QStringLiteral("3")); // rows keep their arrival numbers
    ExpectRowsMatchRecords();

    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(window->GetCheckMark(row), -1);
    window->OnColumnClick(0); // Index: every mark checked, direction untouched
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(window->GetCheckMark(row), 1);
    ExpectRowsMatchRecords();

    window->OnColumnClick(1); // the four text columns share one direction: now descending
    EXPECT_EQ(Cell(0, 1), QStringLiteral("00:00:00:00:00:0C"));
    EXPECT_EQ(Cell(2, 1), QStringLiteral("00:00:00:00:00:0A"));
    EXPECT_EQ(window->m_nSelectedIndex, 0);
    ExpectRowsMatchRecords();

    window->OnColumnClick(0);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(window->GetCheckMark(row), 0);
    AddCamera(CameraReply("00:00:00:00:00:0D", "10.0.0.4"));
    EXPECT_EQ(window->GetCheckMark(3), -1);
    EXPECT_EQ(Cell(3, 0), QStringLiteral("4"));

    window->m_nSelectedIndex = -1;
    window->OnColumnClick(3);
    EXPECT_EQ(window->m_nSelectedIndex, -1);
    ExpectRowsMatchRecords();
}

TEST_F(MainWindow, DuplicateTestNeedsTheSameMacAndIp)
{
    AddCamera(CameraReply("M1", "10.0.0.1"));
    EXPECT_TRUE(window->IsDeviceListed(CameraReply("M1", "10.0.0.1")));
    EXPECT_FALSE(window->IsDeviceListed(CameraReply("M1", "10.0.0.2")));
    EXPECT_FALSE(window->IsDeviceListed(CameraReply("m1", "10.0.0.1"))); // case counts
    AddCamera(CameraReply("", "10.0.0.5"));
    EXPECT_FALSE(window->IsDeviceListed(CameraReply("", "10.0.0.5"))); // an empty MAC never matches
}

TEST_F(MainWindow, ClickedRowFillsTheDetailsPanel)
{
    WaitForSweepEnd(*window);
    AddCamera(CameraReply("M1", "10.0.0.1", "DHCP-CAM", IP_MODE_DHCP, 8080));
    AddCamera(CameraReply("M2", "10.0.0.2", "STATIC-CAM", IP_MODE_STATIC, 80));
    window->m_listDevices->item(0, 0)->setData(Qt::UserRole + 1, 0);

    window->OnDeviceClick(0);
    EXPECT_TRUE(IsChecked(*window, IDC_DHCP));
    EXPECT_FALSE(window->Control(IDC_IP)->isEnabled());
    EXPECT_EQ(EditText(*window, IDC_IP), QStringLiteral("10.0.0.1")); // filled although disabled
    EXPECT_EQ(EditText(*window, IDC_MODEL_NAME), QStringLiteral("DHCP-CAM"));
    EXPECT_EQ(EditText(*window, IDC_HTTP_PORT), QStringLiteral("8080"));
    EXPECT_EQ(EditText(*window, IDC_DATA_PORT), QStringLiteral("4520"));
    EXPECT_EQ(g_strSelectedMAC, "M1");
    EXPECT_EQ(window->m_nSelectedIndex, 0);

    SetEditText(*window, IDC_HTTP_PORT, "70000");
    ASSERT_TRUE(window->BindControls(true));
    window->OnDeviceClick(1);
    EXPECT_TRUE(IsChecked(*window, IDC_STATIC));
    EXPECT_TRUE(window->Control(IDC_IP)->isEnabled());
    EXPECT_EQ(EditText(*window, IDC_HTTP_PORT), QStringLiteral("80"));
    EXPECT_TRUE(EditText(*window, IDC_DEVICE_INFO).isEmpty());

    window->OnDeviceClick(-1); // a click on no row changes nothing
    EXPECT_EQ(window->m_nSelectedIndex, 1);
    EXPECT_EQ(EditText(*window, IDC_IP), QStringLiteral("10.0.0.2"));

    QTest::mouseClick(window->Control(IDC_DHCP), Qt::LeftButton);
    EXPECT_FALSE(window->Control(IDC_GATEWAY)->isEnabled());
    QTest::mouseClick(window->Control(IDC_STATIC), Qt::LeftButton);
    EXPECT_TRUE(window->Control(IDC_GATEWAY)->isEnabled());

    DISCOVERY_DATA odd = CameraReply("M3", "10.0.0.3", "ODD", 7);
    AddCamera(odd);
    window->OnDeviceClick(2); // neither mode: both unchecked, addresses locked
    EXPECT_FALSE(IsChecked(*window, IDC_STATIC));
    EXPECT_FALSE(IsChecked(*window, IDC_DHCP));
    EXPECT_FALSE(window->Control(IDC_DNS)->isEnabled());
}

TEST_F(MainWindow, EveryControlHasAnAccessibleName)
{
    const std::pair<int, const char *> expected[] = {
        {IDC_SEARCH, "Search"}, {IDC_DEVICE_LIST, "Devices"}, {IDC_ADAPTER, "Adapter"}, {IDC_IP, "IP"},
        {IDC_SUBNET_MASK, "Subnet Mask"}, {IDC_HTTP_PORT, "HTTP Port"}, {IDC_AUDIO_RX_PORT, "Audio Receive Port"},
        {IDC_USER_ID, "User ID"}, {IDC_PASSWORD, "Password"}, {IDC_DEVICE_INFO, "Device Info"},
        {IDC_MODEL_NAME, "Model Name"}, {IDC_SAVE_TO_VMS, "Save to HALVEX"}, {IDC_STATIC, "STATIC"},
    };
    for (const auto &[id, name] : expected)
        EXPECT_EQ(window->Control(id)->accessibleName(), QString::fromLatin1(name)) << id;
    for (QWidget *child : window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (ControlId(*child) != -1) {
            EXPECT_FALSE(child->accessibleName().isEmpty()) << ControlId(*child);
        }
    }
}

TEST(MainWindowSecondCopy, EndsWithTheSocketMessage)
{
    CUDPSocket running; // the first copy holds the reply port
    ASSERT_TRUE(running.Create(DISCOVERY_RECV_PORT));
    MessageRecorder boxes;
    CLanscoutDlg window;
    EXPECT_EQ(window.DoModal(), IDCANCEL);
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages.front(), "Failed to create socket, please check if the utility already running.");
    EXPECT_FALSE(window.IsSweepRunning());
}
