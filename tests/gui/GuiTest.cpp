#include "tests/gui/GuiTest.h"

#include "app/Templates.h"
#include "platform/DialogTemplate.h"
#include "vms/VantoRegistry.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <cstdio>
#include <cstdlib>

MessageRecorder::MessageRecorder(int answer)
{
    m_previous = SetMessageBoxHandler([this, answer](const MessageRequest &request) {
        boxes.push_back(request);
        return answer;
    });
}

MessageRecorder::~MessageRecorder()
{
    SetMessageBoxHandler(std::move(m_previous));
}

std::vector<std::string> MessageRecorder::Texts() const
{
    std::vector<std::string> texts;
    for (const MessageRequest &box : boxes)
        texts.push_back(box.text);
    return texts;
}

PasswordDialogAnswerer::PasswordDialogAnswerer(std::function<void(CChangePwdDlg &)> answer)
    : m_answer(std::move(answer))
{
    QObject::connect(&m_poll, &QTimer::timeout, [this] {
        auto *dialog = qobject_cast<CChangePwdDlg *>(QApplication::activeModalWidget());
        if (!dialog || dialog == m_answered)
            return;
        m_answered = dialog;
        opened.push_back({dialog->m_strIP, dialog->m_strUserID, dialog->m_strPassword});
        m_answer(*dialog);
    });
    m_poll.start(10);
}

void TypeNewPassword(CChangePwdDlg &dialog, const std::string &password)
{
    for (int id : {IDC_NEW_PASSWORD, IDC_CONFIRM_PASSWORD})
        qobject_cast<QLineEdit *>(GetDlgItem(dialog, id))->setText(QString::fromLatin1(password.c_str()));
    QTest::mouseClick(GetDlgItem(dialog, IDC_APPLY_PASSWORD), Qt::LeftButton);
}

void Cancel(CChangePwdDlg &dialog)
{
    QTest::mouseClick(GetDlgItem(dialog, IDC_CANCEL_PASSWORD), Qt::LeftButton);
}

void MainWindowTest::SetUp()
{
    store = std::make_unique<CHandOverStore>(RegistryRoot());
    window = std::make_unique<CLanscoutDlg>(*store, fileAsker);
    ASSERT_TRUE(window->Create());
    window->show();
}

void MainWindowTest::TearDown()
{
    window.reset();
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty()) << "a window outlived its test";
}

void MainWindowTest::RunFirstSearchToEnd()
{
    ASSERT_TRUE(WaitFor([this] { return !window->IsSearchRunning(); }, 15000)) << "the search did not end";
}

QTableView &MainWindowTest::List() const
{
    return *qobject_cast<QTableView *>(window->Control(IDC_DEVICE_LIST));
}

int MainWindowTest::RowCount() const
{
    return List().model()->rowCount();
}

std::string MainWindowTest::CellText(int row, int column) const
{
    return List().model()->index(row, column).data().toString().toStdString();
}

void MainWindowTest::RestartWindow()
{
    MainWindowTest::TearDown();
    MainWindowTest::SetUp();
    RunFirstSearchToEnd();
}

void CamerasWindowTest::SetUp()
{
    m_file = std::make_unique<lab::LabFile>(m_cameraFile);
    camsim = std::make_unique<CamsimProcess>(std::vector<std::string>{"--config", m_file->Path()});
    MainWindowTest::SetUp();
    RunFirstSearchToEnd();
}

void CamerasWindowTest::TearDown()
{
    MainWindowTest::TearDown();
    camsim.reset();
}

int CamerasWindowTest::RowOf(const std::string &ip) const
{
    for (int row = 0; row < RowCount(); ++row)
        if (CellText(row, 2) == ip)
            return row;
    ADD_FAILURE() << ip << " is not listed";
    return 0;
}

void CamerasWindowTest::ClickCamera(const std::string &ip)
{
    QTableView &list = List();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualRect(list.model()->index(RowOf(ip), 1)).center());
}

void CamerasWindowTest::Login(const std::string &user, const std::string &password)
{
    Get<QLineEdit>(IDC_USER_ID)->setText(QString::fromLatin1(user.c_str()));
    Get<QLineEdit>(IDC_PASSWORD)->setText(QString::fromLatin1(password.c_str()));
}

DISCOVERY_DATA CameraRecord(const std::string &mac, const std::string &ip, const std::string &product,
                            const std::string &firmware)
{
    DISCOVERY_DATA record = ZeroRecord();
    record.nType = DISCOVERY_REPLY;
    WriteSlotText(record.szMAC, mac);
    WriteSlotText(record.szIP, ip);
    WriteSlotText(record.szProductName, product);
    WriteSlotText(record.szFirmwareVersion, firmware);
    WriteSlotText(record.szSubnetMask, "255.255.255.0");
    WriteSlotText(record.szGateway, "10.77.0.1");
    WriteSlotText(record.szDNS, "10.77.0.1");
    record.wHttpPort = 80;
    return record;
}

// The window binds the discovery ports and broadcasts its first search: the lab's guard
// (tests/lab/LabGuard.cpp) has made sure this runs inside a lab.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
