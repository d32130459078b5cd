// The buttons that act on a camera, through the real window against camsim in the lab:
// the checks before anything is sent, the forced change of a factory password, and
// the commands that follow. Message boxes are answered through the seam; the password
// dialog is answered inside its own modal run, as a user would.
#include "tests/gui/GuiTest.h"

#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <cstdlib>
#include <functional>
#include <memory>

namespace {

const std::string kFactoryCamera = "10.77.0.10";   // admin / vqxnt
const std::string kSiteCamera = "10.77.0.11";      // admin / Site-pass-1
const std::string kSecondFactory = "10.77.0.12";   // admin / vqxnt
const std::string kLostWebCamera = "10.77.0.13";   // its address is taken off the network
const char *const kCameras = "[camera]\nmac = 02:00:00:00:04:00\nip = 10.77.0.10\n"
                             "[camera]\nmac = 02:00:00:00:04:01\nip = 10.77.0.11\npassword = Site-pass-1\n"
                             "[camera]\nmac = 02:00:00:00:04:02\nip = 10.77.0.12\n"
                             "[camera]\nmac = 02:00:00:00:04:03\nip = 10.77.0.13\npassword = Site-pass-3\n";

class Actions : public CamerasWindowTest {
protected:
    Actions() : CamerasWindowTest(kCameras) {}
    void SetUp() override
    {
        CamerasWindowTest::SetUp();
        ASSERT_EQ(window->RowCount(), 4);
    }

    QTableWidget &List() const { return *window->m_listDevices; }
    std::string PasswordEdit() const { return window->m_editPassword->text().toStdString(); }
    std::string UserIdEdit() const { return window->m_editUserID->text().toStdString(); }
    // Hidden buttons are pressed as the message map would on their click.
    void Press(int id) { qobject_cast<QPushButton *>(window->Control(id))->click(); }
    // camsim handles the window's datagrams in order: once a search sent after them is
    // logged, every command sent before it has been logged too.
    void FenceWithSearch()
    {
        const int searches = camsim->CountLog("recv search");
        window->OnSearch();
        // The sweep needs the window thread, so the wait serves its events.
        ASSERT_TRUE(WaitFor([&] { return camsim->CountLog("recv search") > searches; }, 10000));
    }

};

constexpr int kActionButtons[] = {IDC_SAVE, IDC_REBOOT, IDC_FACTORY_RESET, IDC_CHANGE_PASSWORD};

} // namespace

TEST_F(Actions, ChecksBeforeAnythingIsSent)
{
    PasswordDialogAnswerer answerer(Cancel);
    struct Case {
        const char *what;
        std::function<void()> arrange;
        const char *message;
    };
    const Case cases[] = {
        {"two rows selected",
         [&] {
             ClickCamera(kFactoryCamera);
             QTest::mouseClick(List().viewport(), Qt::LeftButton, Qt::ControlModifier,
                               List().visualRect(List().model()->index(RowOf(kSiteCamera), 1)).center());
             Login("admin", "vqxnt");
         },
         "Please select only one device."},
        {"no row", [&] { List().clearSelection(); }, "Please select a device."},
        {"empty password",
         [&] {
             ClickCamera(kSiteCamera);
             Login("admin", "");
         },
         "Please check UserID or Password."},
        {"empty user ID", [&] { Login("", "Site-pass-1"); }, "Please check UserID or Password."},
    };
    for (const Case &c : cases) {
        c.arrange();
        for (int id : kActionButtons) {
            messages.boxes.clear();
            Press(id);
            EXPECT_EQ(messages.Texts(), std::vector<std::string>{c.message}) << c.what << ", button " << id;
        }
    }
    FenceWithSearch();
    EXPECT_EQ(camsim->CountLog(" http mac="), 0) << "no request reached a camera";
    EXPECT_EQ(camsim->CountLog("set-config") + camsim->CountLog("reboot") + camsim->CountLog("factory-reset"), 0);
    EXPECT_TRUE(answerer.opened.empty());
}

TEST_F(Actions, WrongLoginStopsChangePasswordBeforeItsDialog)
{
    PasswordDialogAnswerer answerer(Cancel);
    ClickCamera(kSiteCamera);
    Login("admin", "not-the-password");
    Press(IDC_CHANGE_PASSWORD);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Unauthorized"});
    EXPECT_TRUE(answerer.opened.empty());
}

TEST_F(Actions, SaveOnAFactoryLoginForcesANewPasswordAndUsesIt)
{
    PasswordDialogAnswerer answerer([](CChangePwdDlg &d) { TypeNewPassword(d, "Fresh-pass-1"); });
    ClickCamera(kFactoryCamera);
    Login("admin", "vqxnt");
    Press(IDC_SAVE);
    const std::vector<std::string> shown = {"Please change the default password.", "Password is changed successfully!"};
    EXPECT_EQ(messages.Texts(), shown);
    ASSERT_EQ(answerer.opened.size(), 1u);
    EXPECT_EQ(answerer.opened[0].ip, kFactoryCamera);
    EXPECT_EQ(answerer.opened[0].user, "admin");
    EXPECT_EQ(answerer.opened[0].password, "vqxnt");
    EXPECT_TRUE(camsim->WaitForLog("set-config mac=02:00:00:00:04:00", 10000));
    EXPECT_EQ(camsim->CountLog("set-config mac=02:00:00:00:04:00 user=admin"), 1);
    EXPECT_EQ(camsim->CountLog("result mac=02:00:00:00:04:00 result=0"), 1) << "the command carried the new password";
    EXPECT_TRUE(window->IsSweepRunning()) << "a new search follows";
    EXPECT_EQ(PasswordEdit(), "");
}

// The change was made for the factory user, so the command goes with that user and the
// new password, whatever user ID had been typed. (Factory Reset: the one action whose
// checks let a user ID that the camera does not know get as far as the change.)
TEST_F(Actions, ForcedChangeLeavesTheFactoryUserWithTheNewPassword)
{
    MessageRecorder yes(IDYES); // confirms the list of cameras to reset
    PasswordDialogAnswerer answerer([](CChangePwdDlg &d) { TypeNewPassword(d, "Fresh-pass-2"); });
    ClickCamera(kFactoryCamera);
    Login("installer", "Typed-pass-1");
    Press(IDC_FACTORY_RESET);
    ASSERT_EQ(answerer.opened.size(), 1u);
    EXPECT_EQ(UserIdEdit(), "admin");
    EXPECT_EQ(PasswordEdit(), "Fresh-pass-2");
    ASSERT_TRUE(camsim->WaitForLog("factory-reset mac=02:00:00:00:04:00", 10000));
    EXPECT_EQ(camsim->CountLog("factory-reset mac=02:00:00:00:04:00 ip="), 1) << "the camera took the login";
}

// The checks test the camera the command goes to, the one in the details panel, though
// the keyboard moved the highlight on; and at the address it answered from, not the new
// one typed for it.
TEST_F(Actions, SaveChecksTheCameraItsCommandGoesTo)
{
    ClickCamera(kSiteCamera);
    QTest::keyClick(&List(), Qt::Key_Down);
    const QModelIndexList highlighted = List().selectionModel()->selectedRows();
    ASSERT_EQ(highlighted.size(), 1);
    ASSERT_EQ(highlighted[0].row(), RowOf(kSecondFactory));
    window->m_editIP->setText(QStringLiteral("10.77.1.50"));
    Login("admin", "Site-pass-1");
    Press(IDC_SAVE);
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().front();
    ASSERT_TRUE(camsim->WaitForLog("result mac=02:00:00:00:04:01", 10000));
    EXPECT_EQ(camsim->CountLog("set-config mac=02:00:00:00:04:01 user=admin mode=0 ip=10.77.1.50"), 1);
    EXPECT_EQ(camsim->CountLog("result mac=02:00:00:00:04:01 result=0"), 1);
    EXPECT_GT(camsim->CountLog("http mac=02:00:00:00:04:01"), 0);
    EXPECT_EQ(camsim->CountLog("http mac=02:00:00:00:04:02"), 0);
}

TEST_F(Actions, CancelledPasswordChangeSendsNothing)
{
    PasswordDialogAnswerer answerer(Cancel);
    ClickCamera(kSecondFactory);
    Login("admin", "vqxnt");
    Press(IDC_SAVE);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Please change the default password."});
    EXPECT_EQ(answerer.opened.size(), 1u);
    EXPECT_EQ(PasswordEdit(), "vqxnt");
    EXPECT_FALSE(window->IsSweepRunning());
    FenceWithSearch();
    EXPECT_EQ(camsim->CountLog("set-config"), 0);
}

TEST_F(Actions, ChangePasswordEmptiesThePasswordEditAfterASuccess)
{
    PasswordDialogAnswerer answerer([](CChangePwdDlg &d) { TypeNewPassword(d, "Site-pass-2"); });
    ClickCamera(kSiteCamera);
    Login("admin", "Site-pass-1");
    Press(IDC_CHANGE_PASSWORD);
    ASSERT_EQ(answerer.opened.size(), 1u);
    EXPECT_EQ(answerer.opened[0].password, "Site-pass-1");
    EXPECT_EQ(PasswordEdit(), "");
    EXPECT_EQ(camsim->CountLog("password mac=02:00:00:00:04:01"), 1);
}

TEST_F(Actions, FactoryResetNeedsNoWebSide)
{
    MessageRecorder yes(IDYES); // confirms the list of cameras to reset
    const std::string netns = std::getenv("LANSCOUT_LAB_CAMERA_NETNS");
    const std::string takeAway = "nsenter --net=" + netns + " ip address del " + kLostWebCamera + "/22 dev " +
                                 std::getenv("LANSCOUT_LAB_CAMERA_IF");
    ASSERT_EQ(std::system(takeAway.c_str()), 0);
    ClickCamera(kLostWebCamera);
    Login("admin", "Site-pass-3");
    Press(IDC_FACTORY_RESET);
    EXPECT_TRUE(camsim->WaitForLog("factory-reset mac=02:00:00:00:04:03 ip=", 10000));
    EXPECT_EQ(camsim->CountLog(" http mac="), 0) << "nothing answered on the web side";
}
