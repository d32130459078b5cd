// How long the user waits, and how long the window goes without serving its events,
// for the camera actions that talk to a camera's web side: the login check with codec
// update alone, and a whole Save, each on cameras with four codec-3 channels. The
// window is shown as a user sees it; run it in the lab on a real X display:
//   Xvfb :99 & DISPLAY=:99 QT_QPA_PLATFORM=xcb tests/lab/lab.sh -- build/bench/login_check
#include "bench/WindowDriver.h"
#include "platform/BusyWait.h"
#include "camapi/LoginCheck.h"
#include "platform/DebugOutput.h"
#include "platform/MessageBox.h"
#include "tests/lab/CamsimProcess.h"
#include "tests/lab/EventPump.h"
#include "tests/lab/LabFile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kLoginChecks = 20;
constexpr int kSaves = 5;
const char *const kPassword = "Bench-pass-1";

std::string CameraIp(int i)
{
    return "10.77.1." + std::to_string(10 + i);
}

std::string CameraFile()
{
    std::string file;
    for (int i = 0; i < kLoginChecks + kSaves; ++i) {
        char mac[40];
        std::snprintf(mac, sizeof mac, "02:00:00:00:03:%02X", i);
        file += std::string("[camera]\nmac = ") + mac + "\nip = " + CameraIp(i) +
                "\nchannels = 3,3,3,3\npassword = " + kPassword + "\n";
    }
    return file;
}

// The user's wait for each action, and the longest the window thread went without
// serving its events (a 5 ms probe) over all of them.
struct Figures {
    std::vector<qint64> waits;
    qint64 worstGap = 0;
    void Print(const char *what)
    {
        std::sort(waits.begin(), waits.end());
        std::printf("%s, %zu runs:\n  user waits: median %lld ms, longest %lld ms\n"
                    "  longest the window went without serving its events: %lld ms (5 ms probe)\n",
                    what, waits.size(), static_cast<long long>(waits[waits.size() / 2]),
                    static_cast<long long>(waits.back()), static_cast<long long>(worstGap));
    }
};

void Measure(Figures &figures, const std::function<void()> &action)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        figures.worstGap = std::max(figures.worstGap, clock.elapsed() - last);
        last = clock.elapsed();
    });
    probe.start(5);
    action();
    figures.waits.push_back(clock.elapsed());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const lab::LabFile cameras(CameraFile());
    CamsimProcess camsim({"--config", cameras.Path()});
    CLanscoutDlg window(bench::Store());
    window.Create();
    window.show();
    int failures = 0;
    SetMessageBoxHandler([&](const MessageRequest &r) {
        std::fprintf(stderr, "message box: %s\n", r.text.c_str());
        ++failures;
        return ANSWER_OK;
    });
    SetDebugSink([](std::string_view) {}); // the cameras' answers are not the figures
    ProcessEventsUntil([&] { return !window.IsSearchRunning(); }, 15000);

    Figures checks;
    for (int i = 0; i < kLoginChecks; ++i)
        Measure(checks, [&] {
            // As the window runs it: on a helper thread, the window painted meanwhile.
            BusyWait([&] { failures += CheckLoginAndUpdateCodec(CameraIp(i), "admin", kPassword) ? 0 : 1; });
        });
    checks.Print("login check with codec update, 4 codec-3 channels");

    Figures saves;
    window.Control(IDC_USER_ID)->setProperty("text", QStringLiteral("admin"));
    for (int i = kLoginChecks; i < kLoginChecks + kSaves; ++i) {
        bench::ClickRow(window, bench::RowOf(window, CameraIp(i)));
        window.Control(IDC_PASSWORD)->setProperty("text", QString::fromLatin1(kPassword));
        Measure(saves, [&] { bench::Press(window, IDC_SAVE); });
        ProcessEventsUntil([&] { return !window.IsSearchRunning(); }, 15000); // Save ends with a new search
    }
    saves.Print("Save, 4 codec-3 channels (login check, default-login test, command)");
    std::printf("message boxes (failures): %d\n", failures);
    return failures == 0 ? 0 : 1;
}
