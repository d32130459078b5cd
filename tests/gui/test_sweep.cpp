// What the window shows while a sweep runs: the wait box, and the controls a sweep locks
// until its end; and closing the window in the middle of one. What the sweep lists is
// checked without a window (test_lab_search, test_lab_session).
#include "tests/gui/GuiTest.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>

#include <string>

namespace {

// In the order the window has always locked them.
constexpr int kLocked[] = {IDC_SEARCH, IDC_DEVICE_LIST, IDC_SAVE, IDC_REBOOT, IDC_FACTORY_RESET,
                           IDC_SAVE_TO_VMS, IDC_IP, IDC_SUBNET_MASK, IDC_GATEWAY, IDC_DNS,
                           IDC_STATIC, IDC_HTTP_PORT, IDC_USER_ID, IDC_PASSWORD, IDC_ADAPTER,
                           IDC_CHANGE_PASSWORD};
constexpr int kLeftAlone[] = {IDC_DHCP, IDC_DATA_PORT, IDC_RTSP_PORT, IDC_AUDIO_TX_PORT, IDC_AUDIO_RX_PORT,
                              IDC_FILE_SAVE_LIST, IDC_MODEL_NAME, IDC_DEVICE_INFO};
const std::string kAllLocked(std::size(kLocked), '0');
const std::string kAllUnlocked(std::size(kLocked), '1');

class Sweep : public MainWindowTest {
protected:
    // One character a control: 1 enabled, 0 not.
    template <std::size_t N>
    std::string Enabled(const int (&ids)[N]) const
    {
        std::string states;
        for (int id : ids)
            states += window->Control(id)->isEnabled() ? '1' : '0';
        return states;
    }
    bool WaitBoxShown() const
    {
        const auto *box = window->findChild<CModalDlg *>();
        return box && box->isVisible();
    }
};

} // namespace

// The first search starts with the window; the Search button starts the next. Each
// shows the wait box and locks its controls, and only those, until the sweep's end.
TEST_F(Sweep, ShowsTheWaitBoxAndLocksItsControlsUntilItsEnd)
{
    const std::string leftAlone = Enabled(kLeftAlone); // as initialisation left them
    for (const char *search : {"first search", "Search button"}) {
        SCOPED_TRACE(search);
        if (std::string(search) == "Search button")
            Get<QAbstractButton>(IDC_SEARCH)->click();
        ASSERT_TRUE(WaitFor([&] { return WaitBoxShown() && Enabled(kLocked) == kAllLocked; }, 5000))
            << Enabled(kLocked);
        EXPECT_TRUE(window->IsSearchRunning());
        EXPECT_EQ(Enabled(kLeftAlone), leftAlone);
        RunFirstSearchToEnd();
        EXPECT_FALSE(WaitBoxShown());
        EXPECT_EQ(Enabled(kLocked), kAllUnlocked);
        EXPECT_EQ(Enabled(kLeftAlone), leftAlone);
    }
}

// The window closes in the middle of its first sweep's pause, without waiting out the
// sweep, and what it had posted to itself before runs harmlessly after.
TEST_F(Sweep, ClosingTheWindowDuringASweepEndsItPromptly)
{
    ASSERT_TRUE(WaitFor([&] { return Enabled(kLocked) == kAllLocked; }, 5000));
    QElapsedTimer closing;
    closing.start();
    window.reset();
    EXPECT_LT(closing.elapsed(), 1000) << "a sweep lasts five seconds";
    bool served = false;
    QMetaObject::invokeMethod(QCoreApplication::instance(), [&] { served = true; }, Qt::QueuedConnection);
    EXPECT_TRUE(WaitFor([&] { return served; }, 10000));
}
