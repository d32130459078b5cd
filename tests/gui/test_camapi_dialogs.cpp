// The password dialog and the busy wait, against camsim over real HTTP in the lab; the
// message boxes are answered through the seam.
#include "app/Dialogs.h"
#include "app/Templates.h"
#include "camapi/LoginCheck.h"
#include "platform/AsyncSocket.h"
#include "platform/DialogTemplate.h"
#include "tests/gui/GuiTest.h"
#include "tests/lab/CamsimProcess.h"
#include "tests/lab/DiscoveryTool.h"
#include "tests/lab/LabFile.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

const char *const kCameraFile = "[camera]\nmac = 02:00:00:00:02:00\nip = 10.77.0.10\nchannels = 1\n"
                                "[camera]\nmac = 02:00:00:00:02:01\nip = 10.77.0.11\nchannels = 1\n"
                                "[camera]\nmac = 02:00:00:00:02:02\nip = 10.77.0.12\nchannels = 1\n"
                                "[camera]\nmac = 02:00:00:00:02:03\nip = 10.77.0.13\nchannels = 1\n"
                                "http_behaviour = slow\n"
                                "[camera]\nmac = 02:00:00:00:02:04\nip = 10.77.0.14\nchannels = 1\n";
const std::string kRulesCamera = "10.77.0.10";
const std::string kRetryCamera = "10.77.0.11";
const std::string kOddPasswordCamera = "10.77.0.12";
const std::string kOddPasswordMac = "02:00:00:00:02:02";
const std::string kSlowCamera = "10.77.0.13";
const std::string kEnterKeyCamera = "10.77.0.14";

class PasswordDialogLab : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_cameraFile = std::make_unique<lab::LabFile>(kCameraFile);
        s_camsim = std::make_unique<CamsimProcess>(std::vector<std::string>{"--config", s_cameraFile->Path()});
    }
    static void TearDownTestSuite()
    {
        s_camsim.reset();
        s_cameraFile.reset();
    }

    void Open(const std::string &ip, const std::string &password = "vqxnt")
    {
        dialog = std::make_unique<CChangePwdDlg>();
        dialog->m_strIP = ip;
        dialog->m_strUserID = "admin";
        dialog->m_strPassword = password;
        dialog->show();
    }
    QLineEdit *Edit(int id) const { return qobject_cast<QLineEdit *>(GetDlgItem(*dialog, id)); }
    // Types both entries (bytes as Latin-1) and presses Apply.
    void Apply(const std::string &password, const std::string &confirmation)
    {
        Edit(IDC_NEW_PASSWORD)->setText(QString::fromLatin1(password.c_str()));
        Edit(IDC_CONFIRM_PASSWORD)->setText(QString::fromLatin1(confirmation.c_str()));
        QTest::mouseClick(GetDlgItem(*dialog, IDC_APPLY_PASSWORD), Qt::LeftButton);
    }
    bool StillOpen() const { return dialog->isVisible() && dialog->result() == 0; }

    static std::unique_ptr<CamsimProcess> s_camsim;
    static std::unique_ptr<lab::LabFile> s_cameraFile;
    MessageRecorder messages;
    std::unique_ptr<CChangePwdDlg> dialog;
};

std::unique_ptr<CamsimProcess> PasswordDialogLab::s_camsim;
std::unique_ptr<lab::LabFile> PasswordDialogLab::s_cameraFile;

} // namespace

TEST_F(PasswordDialogLab, LengthAndEqualityAreCheckedBeforeAnythingIsSent)
{
    struct Case {
        std::string password, confirmation;
        const char *message;
    };
    const std::string length = "Password must be 8 to 30 characters!";
    const std::string equality = "Please confirm your input passwords are identical!";
    const Case cases[] = {
        {std::string(7, 'a'), std::string(7, 'a'), length.c_str()},
        {std::string(8, 'a'), std::string(8, 'b'), equality.c_str()},
        {std::string(30, 'a'), std::string(30, 'b'), equality.c_str()},
        {std::string(31, 'a'), std::string(31, 'a'), length.c_str()},
        {"", "anything", length.c_str()},
        {"Password1", "password1", equality.c_str()},
    };
    Open(kRulesCamera);
    for (const Case &c : cases) {
        messages.boxes.clear();
        Apply(c.password, c.confirmation);
        EXPECT_EQ(messages.Texts(), std::vector<std::string>{c.message}) << c.password.size() << " characters";
        EXPECT_TRUE(StillOpen());
    }
    EXPECT_EQ(s_camsim->CountLog("page=system.cgi"), 0);
    EXPECT_TRUE(AcceptsDefaultLogin(kRulesCamera));
}

TEST_F(PasswordDialogLab, FailedAttemptKeepsEverythingThenSuccessEndsWithTheNewPassword)
{
    Open(kRetryCamera, "not-the-password");
    Apply("Retry-pass-1", "Retry-pass-1");
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Unauthorized"});
    ASSERT_TRUE(StillOpen());
    EXPECT_EQ(dialog->m_strPassword, "not-the-password");
    EXPECT_EQ(Edit(IDC_NEW_PASSWORD)->text(), "Retry-pass-1");
    EXPECT_EQ(Edit(IDC_CONFIRM_PASSWORD)->text(), "Retry-pass-1");

    dialog->m_strPassword = "vqxnt"; // as the caller would have it for a camera on its factory login
    QTest::mouseClick(GetDlgItem(*dialog, IDC_APPLY_PASSWORD), Qt::LeftButton);
    EXPECT_EQ(messages.Texts().back(), "Password is changed successfully!");
    EXPECT_EQ(messages.boxes.back().icon, MessageIcon::Information);
    EXPECT_EQ(dialog->result(), CHANGE_PWD_DONE);
    EXPECT_EQ(dialog->m_strPassword, "Retry-pass-1");
    EXPECT_FALSE(AcceptsDefaultLogin(kRetryCamera));
    EXPECT_TRUE(CheckLoginAndUpdateCodec(kRetryCamera, "admin", "Retry-pass-1"));
}

TEST_F(PasswordDialogLab, CancelAfterAFailureChangesNothing)
{
    Open(kRulesCamera, "not-the-password");
    Apply("Another-pass", "Another-pass");
    ASSERT_TRUE(StillOpen());
    QTest::mouseClick(GetDlgItem(*dialog, IDC_CANCEL_PASSWORD), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), 0);
    EXPECT_EQ(dialog->m_strPassword, "not-the-password");
    EXPECT_TRUE(AcceptsDefaultLogin(kRulesCamera));
}

// A password with every character that a page address could cut or change arrives
// byte for byte: the camera takes it over HTTP and in a discovery command's digest.
TEST_F(PasswordDialogLab, AnyPrintablePasswordReachesTheCameraAsTyped)
{
    const std::string password = "p&ss #%+ word:\xC4";
    Open(kOddPasswordCamera);
    Apply(password, password);
    ASSERT_EQ(dialog->result(), CHANGE_PWD_DONE) << ::testing::PrintToString(messages.Texts());
    EXPECT_TRUE(CheckLoginAndUpdateCodec(kOddPasswordCamera, "admin", password));
    EXPECT_FALSE(CheckLoginAndUpdateCodec(kOddPasswordCamera, "admin", password.substr(0, password.size() - 1)));

    lab::DiscoveryTool tool;
    EXPECT_EQ(tool.LoginResult(kOddPasswordMac, "admin", password), lab::kLoginTaken);
    EXPECT_EQ(tool.LoginResult(kOddPasswordMac, "admin", "vqxnt"), lab::kLoginRefused);
}

// Enter presses the focused button; in an edit it leaves as OK would, sending nothing.
// Escape leaves as Cancel does.
TEST_F(PasswordDialogLab, EnterPressesTheFocusedButtonAndFromAnEditLeavesWithoutAChange)
{
    struct Case {
        int focus;
        Qt::Key key;
        int endCode;
        bool sends;
    };
    const Case cases[] = {
        {IDC_NEW_PASSWORD, Qt::Key_Return, ANSWER_OK, false},
        {IDC_CANCEL_PASSWORD, Qt::Key_Return, 0, false},
        {IDC_NEW_PASSWORD, Qt::Key_Escape, 0, false},
        {IDC_APPLY_PASSWORD, Qt::Key_Return, CHANGE_PWD_DONE, true},
    };
    for (const Case &c : cases) {
        Open(kEnterKeyCamera);
        Edit(IDC_NEW_PASSWORD)->setText(QStringLiteral("Enter-pass-1"));
        Edit(IDC_CONFIRM_PASSWORD)->setText(QStringLiteral("Enter-pass-1"));
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        QWidget *focused = GetDlgItem(*dialog, c.focus);
        focused->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), focused);
        const int requests = s_camsim->CountLog("page=system.cgi");
        QTest::keyClick(focused, c.key);
        EXPECT_FALSE(dialog->isVisible()) << "focus on " << c.focus << ", key " << c.key;
        EXPECT_EQ(dialog->result(), c.endCode) << "focus on " << c.focus << ", key " << c.key;
        EXPECT_EQ(s_camsim->CountLog("page=system.cgi") > requests, c.sends) << "focus on " << c.focus;
    }
}

// While the dialog's request runs the windows keep painting and show the busy cursor;
// a close request and socket events wait until the dialog has its answer.
TEST_F(PasswordDialogLab, WindowStaysPaintedAndBusyDuringARequest)
{
    QWidget window;
    window.resize(200, 100);
    window.show();
    int paintsWhileRunning = 0;
    bool running = true;
    bool socketEventWhileRunning = false;
    bool busyCursorSeen = false;
    struct PaintCounter : QObject {
        std::function<void()> onPaint;
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::Paint)
                onPaint();
            return false;
        }
    } counter;
    counter.onPaint = [&] { paintsWhileRunning += running ? 1 : 0; };
    window.installEventFilter(&counter);

    constexpr std::uint16_t kLoopbackPort = 47000; // inside the test's own lab
    CAsyncSocket socket;
    ASSERT_TRUE(socket.Create(kLoopbackPort, "127.0.0.1"));
    // Reads each datagram it is told of, then runs onReceive.
    std::function<void()> onReceive = [&] { socketEventWhileRunning = running; };
    socket.SetReceiveHandler([&] {
        char buffer[16];
        std::string from;
        unsigned port = 0;
        socket.ReceiveFrom(buffer, sizeof buffer, from, port);
        onReceive();
    });
    QTimer tick;
    int ticks = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        ++ticks;
        busyCursorSeen |= QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        window.update();
        if (ticks == 2) {
            window.close();
            socket.SendTo("x", 1, kLoopbackPort, "127.0.0.1");
        }
    });
    Open(kSlowCamera);
    tick.start(20);
    Apply("Slow-pass-1", "Slow-pass-1");
    running = false;
    tick.stop();

    EXPECT_EQ(dialog->result(), CHANGE_PWD_DONE) << ::testing::PrintToString(messages.Texts());
    EXPECT_GE(ticks, 2) << "the window thread served its events during the request";
    EXPECT_TRUE(busyCursorSeen);
    EXPECT_GT(paintsWhileRunning, 0);
    EXPECT_TRUE(window.isVisible()) << "a close request during the request is refused";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(socketEventWhileRunning);
    bool delivered = false;
    onReceive = [&] { delivered = true; };
    EXPECT_TRUE(WaitFor([&] { return delivered; }, 5000));
}
