// A peer floods the window with distinct forged replies during one sweep (1 000 000 by
// default, or the count given): does the window stay alive and answer input, and how
// much memory does it hold at the peak? The window is shown as a user sees it:
//   bench/shown.sh -- build/bench/reply_flood [COUNT]
#include "bench/ReplyFlood.h"
#include "bench/WindowDriver.h"
#include "platform/DebugOutput.h"
#include "platform/MessageBox.h"
#include "bench/InputProbe.h"
#include "tests/lab/EventPump.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

namespace {

// The peak resident memory of this process, in MiB.
long PeakResidentMiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6) / 1024;
    return -1;
}

// Distinct cameras, each its own MAC and IP.
void FillDistinct(DISCOVERY_DATA &reply, long n)
{
    char text[40];
    std::snprintf(text, sizeof text, "02:FE:%02X:%02X:%02X:%02X", unsigned(n >> 24) & 0xFF, unsigned(n >> 16) & 0xFF,
                  unsigned(n >> 8) & 0xFF, unsigned(n) & 0xFF);
    WriteSlotText(reply.szMAC, text);
    std::snprintf(text, sizeof text, "10.%u.%u.%u", unsigned(n >> 16) & 0xFF, unsigned(n >> 8) & 0xFF,
                  unsigned(n) & 0xFF);
    WriteSlotText(reply.szIP, text);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const long count = argc > 1 ? std::atol(argv[1]) : 1000000;
    SetMessageBoxHandler([](const MessageRequest &r) {
        std::fprintf(stderr, "message box: %s\n", r.text.c_str());
        return ANSWER_OK;
    });
    SetDebugSink([](std::string_view text) { std::printf("  debug output: %.*s\n", int(text.size()), text.data()); });
    CLanscoutDlg window(bench::Store());
    window.Create();
    window.show();
    ProcessEventsUntil([&] { return !window.IsSearchRunning(); }, 15000);

    InputProbe probe(window);
    probe.Start();
    // Each pass of the event loop takes in the window system's events (input among
    // them): the longest pass is the longest the window thread keeps input waiting.
    QElapsedTimer passClock;
    passClock.start();
    qint64 lastPass = 0, longestPass = 0;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, [&] {
        longestPass = std::max(longestPass, passClock.elapsed() - lastPass);
        lastPass = passClock.elapsed();
    });
    ProcessEventsFor(300);
    bench::Press(window, IDC_SEARCH);
    std::atomic<long> sent{0};
    std::thread flood([&] { bench::FloodReplies(count, FillDistinct, sent); });
    ProcessEventsUntil([&] { return !window.IsSearchRunning() && sent == count; }, 120000);
    flood.join();
    ProcessEventsFor(500); // the backlog the sweep left
    probe.Stop();
    ProcessEventsFor(300); // the last key's answer
    std::printf("%ld forged replies sent in one sweep: %d listed, window alive, longest pass of its event loop "
                "%lld ms, longest wait for a key from the X server %lld ms (%d keys), peak resident memory %ld MiB\n",
                sent.load(), bench::RowCount(window), static_cast<long long>(longestPass),
                static_cast<long long>(probe.WorstDelayMs()), probe.KeysSeen(), PeakResidentMiB());
    return 0;
}
