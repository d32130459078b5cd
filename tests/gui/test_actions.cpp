// The buttons that act on a camera, through the real window against camsim in the lab:
// each reaches its own action, the list's highlight and the edits are what the actions
// read and fill, and the user sees the boxes and the password dialog. Message boxes are
// answered through the seam; the password dialog inside its own modal run, as a user
// would. The actions' rules themselves are checked in tests/lab/test_lab_actions.cpp.
#include "tests/gui/GuiTest.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <functional>

namespace {

const std::string kFactoryCamera = "10.77.0.10"; // admin / vqxnt
const std::string kSiteCamera = "10.77.0.11";    // admin / Site-pass-1
const std::string kSecondFactory = "10.77.0.12"; // admin / vqxnt
const std::string kSlowCamera = "10.77.0.13";    // sends its pages in small pieces
const char *const kCameras = "[camera]\nmac = 02:00:00:00:04:00\nip = 10.77.0.10\n"
                             "[camera]\nmac = 02:00:00:00:04:01\nip = 10.77.0.11\npassword = Site-pass-1\n"
                             "[camera]\nmac = 02:00:00:00:04:02\nip = 10.77.0.12\n"
                             "[camera]\nmac = 02:00:00:00:04:03\nip = 10.77.0.13\nhttp_behaviour = slow\n";

class Actions : public CamerasWindowTest {
protected:
    Actions() : CamerasWindowTest(kCameras) {}
    void SetUp() override
    {
        CamerasWindowTest::SetUp();
        ASSERT_EQ(RowCount(), 4);
    }

    std::string EditText(int id) const { return Get<QLineEdit>(id)->text().toStdString(); }
    void Press(int id) { Get<QPushButton>(id)->click(); }
};

constexpr int kActionButtons[] = {IDC_SAVE, IDC_REBOOT, IDC_FACTORY_RESET, IDC_CHANGE_PASSWORD};

} // namespace

// The actions count the rows the list view highlights.
TEST_F(Actions, EveryButtonChecksTheHighlightOfTheList)
{
    struct Case {
        const char *what;
        std::function<void()> arrange;
        const char *message;
    };
    const Case cases[] = {
        {"two rows highlighted",
         [&] {
             ClickCamera(kFactoryCamera);
             QTest::mouseClick(List().viewport(), Qt::LeftButton, Qt::ControlModifier,
                               List().visualRect(List().model()->index(RowOf(kSiteCamera), 1)).center());
         },
         "Please select only one device."},
        {"none highlighted", [&] { List().clearSelection(); }, "Please select a device."},
    };
    Login("admin", "vqxnt");
    for (const Case &c : cases) {
        c.arrange();
        for (int id : kActionButtons) {
            messages.boxes.clear();
            Press(id);
            EXPECT_EQ(messages.Texts(), std::vector<std::string>{c.message}) << c.what << ", button " << id;
        }
    }
}

TEST_F(Actions, EachButtonReachesItsOwnAction)
{
    PasswordDialogAnswerer answerer(Cancel);
    MessageRecorder no(ANSWER_NO);
    ClickCamera(kSiteCamera);
    Login("admin", "Site-pass-1");
    struct Case {
        int button;
        const char *question; // how the box that asks before anything is sent begins
        std::size_t dialogs;
    };
    const Case cases[] = {
        {IDC_REBOOT, "Check the IP and MAC on \"Reboot\"", 0},
        {IDC_FACTORY_RESET, "Check the IP and MAC on \"Factory Reset\"", 0},
        {IDC_CHANGE_PASSWORD, nullptr, 1},
    };
    for (const Case &c : cases) {
        no.boxes.clear();
        Press(c.button);
        EXPECT_EQ(answerer.opened.size(), c.dialogs) << "button " << c.button;
        if (!c.question) {
            EXPECT_TRUE(no.boxes.empty()) << no.boxes.front().text;
            continue;
        }
        ASSERT_EQ(no.boxes.size(), 1u) << "button " << c.button;
        EXPECT_TRUE(no.boxes[0].text.starts_with(c.question)) << no.boxes[0].text;
        EXPECT_EQ(no.boxes[0].buttons, MessageButtons::YesNo);
    }
    EXPECT_EQ(answerer.opened[0].ip + " " + answerer.opened[0].user + " " + answerer.opened[0].password,
              kSiteCamera + " admin Site-pass-1");
}

// The login check keeps the window answering, under the busy cursor, and the box shows
// the camera's answer.
TEST_F(Actions, LoginCheckRunsBusyAndShowsTheCameraAnswer)
{
    PasswordDialogAnswerer answerer(Cancel);
    ClickCamera(kSlowCamera);
    Login("admin", "not-the-password");
    bool busyCursorSeen = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        busyCursorSeen |= QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    });
    probe.start(20);
    Press(IDC_CHANGE_PASSWORD);
    probe.stop();
    EXPECT_TRUE(busyCursorSeen);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Unauthorized"});
    EXPECT_TRUE(answerer.opened.empty());
}

// The panel keeps the clicked camera though the keyboard moves the highlight on; the
// command goes to it with the address typed for it, then a new search runs and the
// password edit is emptied.
TEST_F(Actions, SaveSendsTheEditsToTheClickedCamera)
{
    ClickCamera(kSiteCamera);
    QTest::keyClick(&List(), Qt::Key_Down);
    const QModelIndexList highlighted = List().selectionModel()->selectedRows();
    ASSERT_EQ(highlighted.size(), 1);
    ASSERT_EQ(highlighted[0].row(), RowOf(kSecondFactory));
    Get<QLineEdit>(IDC_IP)->setText(QStringLiteral("10.77.1.50"));
    Login("admin", "Site-pass-1");
    Press(IDC_SAVE);
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().front();
    EXPECT_TRUE(window->IsSearchRunning());
    EXPECT_EQ(EditText(IDC_PASSWORD), "");
    ASSERT_TRUE(camsim->WaitForLog("result mac=02:00:00:00:04:01", 10000));
    EXPECT_EQ(camsim->CountLog("set-config mac=02:00:00:00:04:01 user=admin mode=0 ip=10.77.1.50"), 1);
    EXPECT_EQ(camsim->CountLog("result mac=02:00:00:00:04:01 result=0"), 1);
    EXPECT_EQ(camsim->CountLog("http mac=02:00:00:00:04:02"), 0);
}

// The change was made for the factory user, so the edits hold that user and the new
// password for the command and any retry, whatever user ID had been typed.
TEST_F(Actions, ForcedChangeLeavesTheFactoryUserAndTheNewPasswordInTheEdits)
{
    MessageRecorder no(ANSWER_NO); // declines the reset itself
    PasswordDialogAnswerer answerer([](CChangePwdDlg &d) { TypeNewPassword(d, "Fresh-pass-2"); });
    ClickCamera(kFactoryCamera);
    Login("installer", "Typed-pass-1");
    Press(IDC_FACTORY_RESET);
    EXPECT_EQ(answerer.opened.size(), 1u);
    ASSERT_EQ(no.boxes.size(), 3u);
    EXPECT_EQ(no.boxes[0].text, "Please change the default password.");
    EXPECT_EQ(no.boxes[1].text, "Password is changed successfully!");
    EXPECT_EQ(no.boxes[2].buttons, MessageButtons::YesNo);
    EXPECT_EQ(EditText(IDC_USER_ID), "admin");
    EXPECT_EQ(EditText(IDC_PASSWORD), "Fresh-pass-2");
}

// Save reads the panel before anything is sent: a port edit that holds no number stops it
// there, and a mask that leaves the camera alone goes out only when the user says so.
// Nothing is sent, no search starts and the password stays, for the user to mend the
// panel; the one command camsim then takes is the one sent once the panel is sound.
TEST_F(Actions, SaveSendsNothingFromAPanelItCannotStandBy)
{
    struct Case {
        const char *what;
        int edit;
        const char *text;
        int answer;
        const char *box;
    };
    const Case cases[] = {
        {"a port that is no number", IDC_DATA_PORT, "x45", ANSWER_OK, "Enter an integer."},
        {"a /31 mask, not sent", IDC_SUBNET_MASK, "255.255.255.254", ANSWER_NO,
         "This mask leaves the camera no neighbour. Send anyway?"},
        {"a /32 mask, not sent", IDC_SUBNET_MASK, "255.255.255.255", ANSWER_NO,
         "This mask leaves the camera no neighbour. Send anyway?"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ClickCamera(kSiteCamera);
        Login("admin", "Site-pass-1");
        Get<QLineEdit>(c.edit)->setText(QString::fromLatin1(c.text));
        MessageRecorder answered(c.answer);
        Press(IDC_SAVE);
        EXPECT_EQ(answered.Texts(), std::vector<std::string>{c.box});
        EXPECT_FALSE(window->IsSearchRunning());
        EXPECT_EQ(EditText(IDC_PASSWORD), "Site-pass-1");
        EXPECT_EQ(EditText(c.edit), c.text);
    }
    ClickCamera(kSiteCamera);
    Login("admin", "Site-pass-1");
    Press(IDC_SAVE);
    ASSERT_TRUE(camsim->WaitForLog("result mac=02:00:00:00:04:01", 10000));
    EXPECT_EQ(camsim->CountLog("set-config mac=02:00:00:00:04:01"), 1);
}
