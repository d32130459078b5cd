// How long typing in the Assign Addresses dialog keeps a user waiting with the whole
// list checked: the window lists 65 536 forged cameras (the list's ceiling, or the count
// given), every row is checked, the dialog opens, and a start address is typed key by
// key, about ten keys a second. Prints how long the dialog took to open, the longest a
// typed key took the window thread, the longest pass of its event loop (the plan made
// once typing paused among them), and the longest a key sent through the X server
// waited meanwhile. The window is shown as a user sees it:
//   bench/shown.sh -- build/bench/assign_typing [COUNT]
#include "bench/InputProbe.h"
#include "bench/ReplyFlood.h"
#include "bench/WindowDriver.h"
#include "app/AssignAddressesDlg.h"
#include "app/Templates.h"
#include "platform/DialogTemplate.h"
#include "platform/Ipv4.h"
#include "platform/MessageBox.h"
#include "tests/lab/EventPump.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

// The start address typed: the cameras are on 10.78.0.0/16 inside a /8, so each gets a
// free address from here.
const char *const kStartIp = "10.1.0.10";
// Each camera answers this many times in the sweep: a burst loses replies in the kernel,
// and the list keeps one of each.
constexpr long kRepeats = 16;

// Camera n at 10.78.x.y in 10.0.0.0/8, static, as the form's prefill takes the first one.
void FillCamera(DISCOVERY_DATA &reply, long n)
{
    char mac[24];
    std::snprintf(mac, sizeof mac, "02:FE:00:%02X:%02X:%02X", unsigned(n >> 16) & 0xFF, unsigned(n >> 8) & 0xFF,
                  unsigned(n) & 0xFF);
    WriteSlotText(reply.szMAC, mac);
    WriteSlotText(reply.szIP, FormatIpv4(0x0A4E0000u + std::uint32_t(n)));
    WriteSlotText(reply.szSubnetMask, "255.0.0.0");
    WriteSlotText(reply.szGateway, "10.0.0.1");
    WriteSlotText(reply.szDNS, "10.0.0.1");
    reply.nIPMode = IP_MODE_STATIC;
    reply.wHttpPort = 80;
}

// The longest pass of the window thread's event loop since the last Reset.
class LongestPass final {
public:
    LongestPass()
    {
        m_clock.start();
        QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, [this] {
            m_longest = std::max(m_longest, m_clock.elapsed() - m_last);
            m_last = m_clock.elapsed();
        });
    }
    void Reset()
    {
        m_last = m_clock.elapsed();
        m_longest = 0;
    }
    qint64 Ms() const { return m_longest; }

private:
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

struct Figures {
    qint64 openMs = -1;
    double worstKeyMs = 0;
    qint64 longestPassMs = 0;
    qint64 worstProbeMs = 0;
    int probeKeys = 0;
    int rows = 0, problems = 0;
    bool applyEnabled = false;
};

void TypeAndPlan(CAssignAddressesDlg &dialog, LongestPass &passes, Figures &figures)
{
    auto *edit = qobject_cast<QLineEdit *>(GetDlgItem(dialog, IDC_BATCH_START_IP));
    edit->setFocus();
    InputProbe probe(dialog);
    probe.Start();
    passes.Reset();
    for (const char c : std::string(kStartIp)) {
        QElapsedTimer key;
        key.start();
        QTest::keyClick(edit, c);
        figures.worstKeyMs = std::max(figures.worstKeyMs, double(key.nsecsElapsed()) / 1e6);
        ProcessEventsFor(100);
    }
    const auto *replan = dialog.findChild<QTimer *>(QStringLiteral("replanTimer"));
    ProcessEventsUntil([&] { return !replan->isActive(); }, 60000);
    ProcessEventsFor(300); // the keys the plan kept waiting
    probe.Stop();
    ProcessEventsFor(200);
    figures.longestPassMs = passes.Ms();
    figures.worstProbeMs = probe.WorstDelayMs();
    figures.probeKeys = probe.KeysSeen();
    figures.rows = qobject_cast<QTableView *>(GetDlgItem(dialog, IDC_PLAN_PREVIEW))->model()->rowCount();
    figures.problems = qobject_cast<QTableView *>(GetDlgItem(dialog, IDC_PLAN_PROBLEMS))->model()->rowCount();
    figures.applyEnabled = GetDlgItem(dialog, IDC_APPLY_PLAN)->isEnabled();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const long count = argc > 1 ? std::atol(argv[1]) : 65536;
    SetMessageBoxHandler([](const MessageRequest &request) {
        std::fprintf(stderr, "message: %s\n", request.text.c_str());
        return int(ANSWER_OK);
    });
    CLanscoutDlg window(bench::Store());
    window.Create();
    window.show();
    ProcessEventsUntil([&] { return !window.IsSearchRunning(); }, 15000);
    bench::Press(window, IDC_SEARCH);
    std::atomic<long> sent{0};
    std::thread flood([&] {
        bench::FloodReplies(count * kRepeats, [&](DISCOVERY_DATA &reply, long n) { FillCamera(reply, n % count); },
                            sent);
    });
    ProcessEventsUntil([&] { return !window.IsSearchRunning() && sent == count * kRepeats; }, 120000);
    flood.join();
    ProcessEventsFor(500);
    const int listed = bench::RowCount(window);
    emit bench::ListView(window).horizontalHeader()->sectionClicked(CDeviceList::kIndexColumn); // checks every row

    LongestPass passes;
    Figures figures;
    QElapsedTimer opening;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<CAssignAddressesDlg *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        figures.openMs = opening.elapsed();
        TypeAndPlan(*dialog, passes, figures);
        dialog->done(QDialog::Rejected);
    });
    opening.start();
    bench::Press(window, IDC_ASSIGN_ADDRESSES);
    std::printf("%d cameras listed and checked: the dialog opened in %lld ms; typing %s, the longest key took the "
                "window thread %.1f ms; longest pass of its event loop while typing and planning %lld ms; longest "
                "wait of a key from the X server %lld ms (%d keys); the plan: %d rows, %d problem lines, Apply %s\n",
                listed, static_cast<long long>(figures.openMs), kStartIp, figures.worstKeyMs,
                static_cast<long long>(figures.longestPassMs), static_cast<long long>(figures.worstProbeMs),
                figures.probeKeys, figures.rows, figures.problems, figures.applyEnabled ? "enabled" : "disabled");
    return 0;
}
