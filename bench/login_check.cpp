// How long a login check with codec update keeps the user waiting on a camera with four
// codec-3 channels (one reading, four writes), and how long the window goes without
// serving its events meanwhile. The window is shown as a user sees it; run it in the lab
// on a real X display:
//   Xvfb :99 & DISPLAY=:99 QT_QPA_PLATFORM=xcb tests/lab/lab.sh -- build/bench/login_check
#include "app/LanscoutDlg.h"
#include "camapi/LoginCheck.h"
#include "platform/DebugOutput.h"
#include "platform/MessageBox.h"
#include "tests/lab/CamsimProcess.h"
#include "tests/lab/EventPump.h"
#include "tests/lab/LabFile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kCameras = 20;

std::string CameraIp(int i)
{
    return "10.77.1." + std::to_string(10 + i);
}

std::string CameraFile()
{
    std::string file;
    for (int i = 0; i < kCameras; ++i) {
        char mac[24];
        std::snprintf(mac, sizeof mac, "02:00:00:00:03:%02X", i);
        file += std::string("[camera]\nmac = ") + mac + "\nip = " + CameraIp(i) + "\nchannels = 3,3,3,3\n";
    }
    return file;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const lab::LabFile cameras(CameraFile());
    CamsimProcess camsim({"--config", cameras.Path()});
    CLanscoutDlg window; // installs the window's message boxes and its busy wait
    window.Create();
    window.show();
    SetMessageBoxHandler([](const MessageRequest &r) {
        std::fprintf(stderr, "message box: %s\n", r.text.c_str());
        return IDOK;
    });
    SetDebugSink([](std::string_view) {}); // the camera's answers are not the figures
    ProcessEventsUntil([&] { return !window.IsSweepRunning(); }, 15000);

    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 worstGap = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        worstGap = std::max(worstGap, now - last);
        last = now;
    });
    std::vector<qint64> waits;
    int failures = 0;
    for (int i = 0; i < kCameras; ++i) {
        probe.start(5);
        last = clock.elapsed();
        const qint64 start = clock.elapsed();
        failures += CheckLoginAndUpdateCodec(CameraIp(i), "admin", "vqxnt", 1) ? 0 : 1;
        waits.push_back(clock.elapsed() - start);
        probe.stop();
    }
    std::sort(waits.begin(), waits.end());
    std::printf("login check with codec update, 4 codec-3 channels, %d cameras (%d failed):\n", kCameras, failures);
    std::printf("  user waits: median %lld ms, longest %lld ms\n", static_cast<long long>(waits[waits.size() / 2]),
                static_cast<long long>(waits.back()));
    std::printf("  longest the window went without serving its events: %lld ms (5 ms probe)\n",
                static_cast<long long>(worstGap));
    return failures == 0 ? 0 : 1;
}
