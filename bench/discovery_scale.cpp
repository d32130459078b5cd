// How many cameras one search lists, what the replies cost the window thread, and the
// longest the window keeps input waiting, for cameras answering every search at once
// (100, 500, 1000 and 5000, or the counts given). The window is shown as a user sees
// it: run it on a real display with an accessibility client attached:
//   bench/shown.sh -- build/bench/discovery_scale [COUNT...]
#include "bench/WindowDriver.h"
#include "platform/MessageBox.h"
#include "tests/lab/CamsimProcess.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Times every wake of the receive socket's watch: each handles the replies waiting,
// back to back, within the socket's delivery budget.
class TimedApplication final : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        if (event->type() != QEvent::SockAct)
            return QApplication::notify(receiver, event);
        const auto start = std::chrono::steady_clock::now();
        const bool handled = QApplication::notify(receiver, event);
        receiveTime += std::chrono::steady_clock::now() - start;
        ++receiveEvents;
        return handled;
    }
    std::chrono::steady_clock::duration receiveTime{};
    long receiveEvents = 0; // wakes
};

void Measure(TimedApplication &app, int cameras)
{
    CamsimProcess camsim({"--cameras", std::to_string(cameras), "--first-ip", CamsimProcess::FirstCameraAddress()});
    app.receiveTime = {};
    app.receiveEvents = 0;

    // The window's answer to input: how late a 10 ms timer fires while the sweep runs.
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 worstGap = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        worstGap = std::max(worstGap, now - last);
        last = now;
    });

    CLanscoutDlg window(bench::Store());
    clock.start();
    probe.start(10);
    window.Create();
    window.show();
    while (window.IsSearchRunning())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    probe.stop();
    const double ms = std::chrono::duration<double, std::milli>(app.receiveTime).count();
    std::printf("%5d cameras: %5d listed, handled in %6ld wakes taking %8.1f ms on the window thread, "
                "longest wait for input %lld ms\n",
                cameras, bench::RowCount(window), app.receiveEvents, ms, static_cast<long long>(worstGap));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    TimedApplication app(argc, argv);
    SetMessageBoxHandler([](const MessageRequest &request) {
        std::fprintf(stderr, "message: %s\n", request.text.c_str());
        return int(ANSWER_OK);
    });
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i)
        counts.push_back(std::atoi(argv[i]));
    if (counts.empty())
        counts = {100, 500, 1000, 5000};
    for (int cameras : counts)
        Measure(app, cameras);
    return 0;
}
