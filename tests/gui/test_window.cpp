// The main window as the user meets it: start, confirmation and cancellation, what the
// port edits read, a second copy, the window menu's About box, the wait box and the
// names screen readers see.
#include "tests/gui/GuiTest.h"

#include "app/Dialogs.h"
#include "platform/AsyncSocket.h"
#include "vms/VantoRegistry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <QElapsedTimer>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kPortEdits[] = {IDC_HTTP_PORT, IDC_DATA_PORT, IDC_RTSP_PORT, IDC_AUDIO_TX_PORT, IDC_AUDIO_RX_PORT};
constexpr int kAddressEdits[] = {IDC_IP, IDC_SUBNET_MASK, IDC_GATEWAY, IDC_DNS};

using WindowStart = MainWindowTest;
using Confirmation = MainWindowTest;
using WindowMenu = MainWindowTest;
using WaitBox = MainWindowTest;
using AccessibleNames = MainWindowTest;

// Cameras for Save, each taking the same login that is not the factory one.
class PortEdits : public CamerasWindowTest {
protected:
    PortEdits()
        : CamerasWindowTest("[camera]\nmac = 02:00:00:00:06:01\nip = 10.77.0.20\npassword = Site-pass-1\n"
                            "[camera]\nmac = 02:00:00:00:06:02\nip = 10.77.0.21\npassword = Site-pass-1\n"
                            "[camera]\nmac = 02:00:00:00:06:03\nip = 10.77.0.22\npassword = Site-pass-1\n"
                            "[camera]\nmac = 02:00:00:00:06:04\nip = 10.77.0.23\npassword = Site-pass-1\n")
    {
    }
};

CModalDlg &WaitBoxOf(const CLanscoutDlg &window)
{
    auto *wait = window.findChild<CModalDlg *>();
    EXPECT_NE(wait, nullptr) << "no wait box";
    return *wait;
}

// Every control of a dialog that must carry a name, with the name it carries.
std::map<const QWidget *, QString> NamedControls(const QWidget &dialog)
{
    std::map<const QWidget *, QString> names;
    for (const QWidget *child : dialog.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        names[child] = child->accessibleName();
    return names;
}

void ExpectEveryControlNamed(const QWidget &dialog)
{
    for (const auto &[control, name] : NamedControls(dialog))
        EXPECT_FALSE(name.isEmpty()) << control->metaObject()->className() << " at " << control->x() << ","
                                     << control->y() << " in " << dialog.windowTitle().toStdString();
}

} // namespace

TEST_F(WindowStart, ShowsStaticModeZeroPortsDefaultUserAndVersionTitle)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quorvane Camera Setup Utility (11.00.0104)"));
    EXPECT_TRUE(Get<QRadioButton>(IDC_STATIC)->isChecked());
    EXPECT_FALSE(Get<QRadioButton>(IDC_DHCP)->isChecked());
    for (int id : kPortEdits)
        EXPECT_EQ(Get<QLineEdit>(id)->text(), QStringLiteral("0")) << id;
    for (int id : {IDC_DATA_PORT, IDC_RTSP_PORT, IDC_AUDIO_TX_PORT, IDC_AUDIO_RX_PORT})
        EXPECT_FALSE(Get<QLineEdit>(id)->isEnabled()) << id;
    for (int id : kAddressEdits)
        EXPECT_TRUE(Get<QLineEdit>(id)->isEnabled()) << id;
    EXPECT_EQ(Get<QLineEdit>(IDC_USER_ID)->text(), QStringLiteral("admin"));
    EXPECT_EQ(Get<QLineEdit>(IDC_PASSWORD)->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(Get<QLineEdit>(IDC_MODEL_NAME)->isReadOnly());
    EXPECT_TRUE(Get<QLineEdit>(IDC_DEVICE_INFO)->isReadOnly());
    for (int id : {IDC_REBOOT, IDC_FACTORY_RESET, IDC_FILE_SAVE_LIST})
        EXPECT_TRUE(Get<QAbstractButton>(id)->isHidden()) << id;
    EXPECT_TRUE(window->IsSearchRunning()) << "the first search starts with the window";
    EXPECT_FALSE(window->windowIcon().pixmap(32, 32).isNull());
    EXPECT_TRUE(messages.boxes.empty());
}

TEST_F(WindowStart, SelectsTheFirstAdapterWithLoopbackLast)
{
    const auto *adapters = Get<QComboBox>(IDC_ADAPTER);
    ASSERT_GE(adapters->count(), 2) << "the lab has lo and veth-t";
    EXPECT_EQ(adapters->currentIndex(), 0);
    EXPECT_EQ(adapters->itemText(0), QStringLiteral("veth-t : 10.77.0.1"));
    EXPECT_EQ(adapters->itemText(adapters->count() - 1), QStringLiteral("lo : 127.0.0.1"));
}

TEST_F(Confirmation, EnterWithoutANumberKeepsTheWindowOpen)
{
    auto *httpPort = Get<QLineEdit>(IDC_HTTP_PORT);
    for (const QString &text : {QStringLiteral("abc"), QString(), QStringLiteral("  x80")}) {
        messages.boxes.clear();
        httpPort->setText(text);
        Get<QLineEdit>(IDC_USER_ID)->setFocus();
        QTest::keyClick(Get<QLineEdit>(IDC_USER_ID), Qt::Key_Return);
        ASSERT_EQ(messages.Texts(), std::vector<std::string>{"Enter an integer."}) << text.toStdString();
        EXPECT_EQ(messages.boxes[0].buttons, MessageButtons::Ok);
        EXPECT_EQ(messages.boxes[0].icon, MessageIcon::Warning);
        EXPECT_EQ(messages.boxes[0].owner, window.get());
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->focusWidget(), httpPort);
        EXPECT_EQ(httpPort->selectedText(), text);
    }
}

TEST_F(Confirmation, EnterTakesTheLeadingNumberAndCloses)
{
    Get<QLineEdit>(IDC_HTTP_PORT)->setText(QStringLiteral(" 8080abc"));
    QTest::keyClick(Get<QLineEdit>(IDC_HTTP_PORT), Qt::Key_Enter);
    EXPECT_TRUE(messages.boxes.empty());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);
}

// Save sends what the edits read: each one's leading number, held at the ends of the
// 32-bit range, then cut to 16 bits. An edit that holds no number stops Save before
// anything is sent, and the camera keeps every port. The camera, searched again, shows
// what it took.
TEST_F(PortEdits, SaveSendsWhatTheEditsRead)
{
    const struct {
        std::string camera;
        std::map<int, QString> typed;
        bool dhcp;
        std::vector<std::string> boxes;
        std::map<int, QString> taken;
    } cases[] = {
        {"10.77.0.20", {{IDC_HTTP_PORT, " 8080abc"}}, true, {}, {{IDC_HTTP_PORT, "8080"}}},
        {"10.77.0.21", {{IDC_HTTP_PORT, "99999999999"}, {IDC_DATA_PORT, "9000"}}, false, {},
         {{IDC_HTTP_PORT, "65535"}, {IDC_DATA_PORT, "9000"}}},
        {"10.77.0.23", {{IDC_HTTP_PORT, "8081"}, {IDC_RTSP_PORT, "rtsp"}, {IDC_AUDIO_TX_PORT, "7"}}, false,
         {"Enter an integer."}, {{IDC_HTTP_PORT, "80"}, {IDC_RTSP_PORT, "554"}, {IDC_AUDIO_TX_PORT, "4521"}}},
        // Held at the bottom, it goes out as port 0, which the camera refuses.
        {"10.77.0.22", {{IDC_DATA_PORT, "-99999999999"}}, false, {"Failed. Invalid port"}, {{IDC_DATA_PORT, "4520"}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.camera);
        messages.boxes.clear();
        ClickCamera(c.camera);
        for (const auto &[id, text] : c.typed)
            Get<QLineEdit>(id)->setText(text);
        if (c.dhcp)
            QTest::mouseClick(Get<QRadioButton>(IDC_DHCP), Qt::LeftButton);
        Login("admin", "Site-pass-1");
        QTest::mouseClick(Get<QAbstractButton>(IDC_SAVE), Qt::LeftButton);
        RunFirstSearchToEnd(); // Save searches again; the camera's result comes before its reply
        ClickCamera(c.camera);
        EXPECT_EQ(messages.Texts(), c.boxes);
        for (const auto &[id, text] : c.taken)
            EXPECT_EQ(Get<QLineEdit>(id)->text(), text) << id;
        EXPECT_EQ(Get<QRadioButton>(IDC_DHCP)->isChecked(), c.dhcp);
    }
}

TEST_F(Confirmation, EscapeAndTheCloseBoxEndWithoutAnyCheck)
{
    Get<QLineEdit>(IDC_HTTP_PORT)->setText(QStringLiteral("letters"));
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);

    window->show();
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);
    EXPECT_TRUE(messages.boxes.empty());
}

TEST(SecondCopy, ReportsTheTakenPortAndEnds)
{
    CAsyncSocket runningCopy; // the receive port of a copy that already runs
    ASSERT_TRUE(runningCopy.Create(DISCOVERY_RECV_PORT));
    MessageRecorder messages;
    const CHandOverStore store(RegistryRoot());
    CLanscoutDlg window(store);
    EXPECT_EQ(window.DoModal(), ANSWER_CANCEL);
    EXPECT_EQ(messages.Texts(),
              std::vector<std::string>{"Failed to create socket, please check if the utility already running."});
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.findChild<CModalDlg *>(), nullptr) << "no wait box and no search after a failed start";
    EXPECT_FALSE(window.IsSearchRunning());
}

namespace {

// A display of the test's own, so that a second copy of the program shows its message
// boxes as real windows that can be seen and closed.
class PrivateDisplay final {
public:
    PrivateDisplay()
    {
        int fds[2];
        if (::pipe(fds) != 0)
            throw std::runtime_error("no pipe for Xvfb");
        m_server = ::fork();
        if (m_server == 0) {
            ::close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", "800x600x24",
                     static_cast<char *>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        // Xvfb writes its display number and a line feed once it takes clients.
        std::string number;
        char c = 0;
        while (number.size() < 16) {
            const ssize_t n = ::read(fds[0], &c, 1);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0 || c == '\n')
                break;
            number += c;
        }
        ::close(fds[0]);
        if (number.empty())
            throw std::runtime_error("Xvfb did not start");
        name = ":" + number;
    }
    ~PrivateDisplay()
    {
        ::kill(m_server, SIGTERM);
        ::waitpid(m_server, nullptr, 0);
    }
    PrivateDisplay(const PrivateDisplay &) = delete;
    PrivateDisplay &operator=(const PrivateDisplay &) = delete;

    // The windows titled exactly so.
    std::vector<std::string> WindowsTitled(const std::string &title) const
    {
        return Lines(Run("xdotool search --onlyvisible --name '^" + title + "$'"));
    }
    // Focuses the window and types Enter into it, as a user closing a box would.
    void PressEnterIn(const std::string &window) const { Run("xdotool windowfocus --sync " + window + " key Return"); }

    std::string name;

private:
    std::string Run(const std::string &command) const
    {
        std::string output;
        if (std::FILE *pipe = ::popen(("DISPLAY=" + name + " " + command + " 2>/dev/null").c_str(), "r")) {
            char buffer[256];
            while (std::fgets(buffer, sizeof buffer, pipe))
                output += buffer;
            ::pclose(pipe);
        }
        return output;
    }
    static std::vector<std::string> Lines(const std::string &text)
    {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    pid_t m_server = -1;
};

} // namespace

// The real scenario: this window runs, and the program is started a second time. The
// second copy shows exactly one box, the one that names the cause, and ends once the
// user closes it.
TEST_F(WindowStart, SecondProgramShowsOneBoxAndEnds)
{
    PrivateDisplay display;
    const pid_t second = ::fork();
    if (second == 0) {
        ::setenv("DISPLAY", display.name.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        ::execl(LANSCOUT_EXECUTABLE, LANSCOUT_EXECUTABLE, static_cast<char *>(nullptr));
        ::_exit(127);
    }
    std::set<std::string> boxes;
    int status = -1;
    QElapsedTimer clock;
    clock.start();
    while (::waitpid(second, &status, WNOHANG) == 0 && clock.elapsed() < 30000) {
        for (const std::string &box : display.WindowsTitled("lanscout"))
            if (boxes.insert(box).second)
                display.PressEnterIn(box);
        QTest::qWait(50);
    }
    if (!WIFEXITED(status)) {
        ::kill(second, SIGKILL);
        ::waitpid(second, nullptr, 0);
        FAIL() << "the second copy did not end; boxes seen: " << boxes.size();
    }
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(window->isVisible()) << "the first copy runs on";
}

TEST_F(WindowMenu, ShiftF10OpensAboutWhichClosesWithEscape)
{
    RunFirstSearchToEnd(); // the wait box showing up would close the menu
    QStringList menuItems;
    QString aboutTitle;
    bool aboutShowsIcon = false;
    std::map<const QWidget *, QString> aboutNames;
    // The menu and the About box run their own loops; these steps act inside them.
    QTimer::singleShot(0, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (const QAction *action : menu->actions())
            menuItems << action->text();
        QTimer::singleShot(0, [&] {
            QWidget *about = QApplication::activeModalWidget();
            ASSERT_NE(qobject_cast<CAboutDlg *>(about), nullptr);
            aboutTitle = about->windowTitle();
            aboutNames = NamedControls(*about);
            for (const QLabel *label : about->findChildren<QLabel *>())
                aboutShowsIcon = aboutShowsIcon || !label->pixmap().isNull();
            QTest::keyClick(about, Qt::Key_Escape);
        });
        menu->actions().first()->trigger();
        menu->close();
    });
    QTest::keyClick(window.get(), Qt::Key_F10, Qt::ShiftModifier);

    EXPECT_EQ(menuItems, QStringList{QStringLiteral("&About Lanscout...")});
    EXPECT_EQ(aboutTitle, QStringLiteral("About Lanscout"));
    EXPECT_TRUE(aboutShowsIcon);
    QStringList names;
    for (const auto &[control, name] : aboutNames)
        names << name;
    names.sort();
    EXPECT_EQ(names, (QStringList{"Finds and sets up IP cameras", "Lanscout", "Lanscout Version 1.0", "OK"}));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(WaitBox, IgnoresEnterAndEscapeAndReturnsForTheNextSearch)
{
    CModalDlg &wait = WaitBoxOf(*window);
    EXPECT_FALSE(wait.isVisible()) << "made hidden";
    EXPECT_EQ(wait.parentWidget(), window.get());
    wait.CentreAndShow();
    QTest::keyClick(&wait, Qt::Key_Return);
    QTest::keyClick(&wait, Qt::Key_Escape);
    EXPECT_TRUE(wait.isVisible());
    EXPECT_EQ(wait.findChild<QLabel *>()->text(), QStringLiteral("Please Wait..."));
    wait.close();
    EXPECT_FALSE(wait.isVisible());
    wait.CentreAndShow();
    EXPECT_TRUE(wait.isVisible());
    // Centred over the window, give or take the frames' borders.
    EXPECT_LE((wait.geometry().center() - window->geometry().center()).manhattanLength(), 8);
}

TEST_F(WaitBox, ShowsDuringTheFirstSearchOnly)
{
    ASSERT_TRUE(WaitFor([&] { return WaitBoxOf(*window).isVisible(); }, 5000));
    EXPECT_TRUE(WaitFor([&] { return !Get<QAbstractButton>(IDC_SEARCH)->isEnabled(); }, 5000));
    RunFirstSearchToEnd();
    EXPECT_TRUE(WaitFor([&] { return !WaitBoxOf(*window).isVisible(); }, 15000));
    EXPECT_TRUE(Get<QAbstractButton>(IDC_SEARCH)->isEnabled());
}

TEST_F(AccessibleNames, EveryControlCarriesItsCaptionOrLabel)
{
    ExpectEveryControlNamed(*window);
    ExpectEveryControlNamed(WaitBoxOf(*window));
    const std::map<int, const char *> expected = {
        {IDC_IP, "IP"},
        {IDC_SUBNET_MASK, "Subnet Mask"},
        {IDC_GATEWAY, "Gateway"},
        {IDC_DNS, "DNS"},
        {IDC_HTTP_PORT, "HTTP Port"},
        {IDC_DATA_PORT, "DATA Port"},
        {IDC_RTSP_PORT, "RTSP Port"},
        {IDC_AUDIO_TX_PORT, "Audio Transmit Port"},
        {IDC_AUDIO_RX_PORT, "Audio Receive Port"},
        {IDC_USER_ID, "User ID"},
        {IDC_PASSWORD, "Password"},
        {IDC_MODEL_NAME, "Model Name"},
        {IDC_DEVICE_INFO, "Device Info"},
        {IDC_DEVICE_LIST, "Devices"},
        {IDC_ADAPTER, "Adapter"},
        {IDC_SEARCH, "Search"},
        {IDC_SAVE_TO_VMS, "Save to HALVEX"},
        {IDC_FACTORY_RESET, "Factory Reset (SW)"},
        {IDC_STATIC, "STATIC"},
        {IDC_DHCP, "DHCP"},
    };
    for (const auto &[id, name] : expected)
        EXPECT_EQ(window->Control(id)->accessibleName(), QString::fromLatin1(name)) << id;
    // A label names its edit only if a reader can pair them: each edit's name is also
    // the text of a label of the window.
    QStringList labels;
    for (const QLabel *label : window->findChildren<QLabel *>())
        labels << label->text();
    for (const QLineEdit *edit : window->findChildren<QLineEdit *>())
        if (edit != Get<QLineEdit>(IDC_DEVICE_INFO)) {
            EXPECT_TRUE(labels.contains(edit->accessibleName())) << edit->accessibleName().toStdString();
        }
}
