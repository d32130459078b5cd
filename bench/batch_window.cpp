// How long Assign Addresses takes in the window, from Apply to each camera's verdict
// in the list, for N checked cameras (50 and 200, or the counts given): the login
// check, the commands, and the verifying search. Also how many were verified and the
// longest the window went without serving its events meanwhile. The window is shown as
// a user sees it; run it on a real display with an accessibility client attached:
//   bench/shown.sh -- build/bench/batch_window [COUNT...|demo]
// "demo" runs the demo's cameras (scripts/demo-cameras.ini, from the source folder) as a
// new user would: all checked, the factory-login ones left alone.
#include "bench/WindowDriver.h"
#include "app/AssignAddressesDlg.h"
#include "app/Templates.h"
#include "platform/DialogTemplate.h"
#include "platform/Ipv4.h"
#include "platform/MessageBox.h"
#include "tests/lab/CamsimProcess.h"
#include "tests/lab/EventPump.h"
#include "tests/lab/LabFile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char *const kPassword = "Bench-pass-1";
// The lab's cameras are on 10.77.0.0/22; the batch moves them up into its second quarter.
const char *const kStartIp = "10.77.1.10";
const char *const kMask = "255.255.252.0";

// Cameras with a site password: the factory login would have each offered the
// password change first.
std::string CameraFile(int cameras)
{
    const std::uint32_t first = *ParseIpv4(CamsimProcess::FirstCameraAddress());
    std::string file;
    for (int i = 0; i < cameras; ++i) {
        char mac[40];
        std::snprintf(mac, sizeof mac, "02:00:00:01:%02X:%02X", (i >> 8) & 0xFF, i & 0xFF);
        file += std::string("[camera]\nmac = ") + mac + "\nip = " + FormatIpv4(first + std::uint32_t(i)) +
                "\npassword = " + kPassword + "\n";
    }
    return file;
}

void SetText(const QWidget &dialog, int id, const char *text)
{
    qobject_cast<QLineEdit *>(GetDlgItem(dialog, id))->setText(QString::fromLatin1(text));
}

int CountStatus(const CLanscoutDlg &window, const QString &status)
{
    const QAbstractItemModel &model = *bench::ListView(window).model();
    int count = 0;
    for (int row = 0; row < model.rowCount(); ++row)
        count += model.index(row, CDeviceList::kStatusColumn).data().toString() == status;
    return count;
}

struct Site {
    std::string cameraFile; // a path
    const char *password;
};

void Measure(const Site &site)
{
    CamsimProcess camsim({"--config", site.cameraFile});
    CLanscoutDlg window(bench::Store());
    window.Create();
    window.show();
    ProcessEventsUntil([&] { return !window.IsSearchRunning(); }, 60000);
    const int listed = bench::RowCount(window);
    SetText(window, IDC_USER_ID, "admin");
    SetText(window, IDC_PASSWORD, site.password);
    emit bench::ListView(window).horizontalHeader()->sectionClicked(CDeviceList::kIndexColumn); // checks every row

    double seconds = -1;
    qint64 worstGap = 0;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<CAssignAddressesDlg *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        SetText(*dialog, IDC_BATCH_START_IP, kStartIp);
        SetText(*dialog, IDC_BATCH_SUBNET_MASK, kMask);
        QElapsedTimer clock;
        qint64 last = 0;
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            worstGap = std::max(worstGap, clock.elapsed() - last);
            last = clock.elapsed();
        });
        clock.start();
        probe.start(10);
        qobject_cast<QAbstractButton *>(GetDlgItem(*dialog, IDC_APPLY_PLAN))->click();
        const QWidget &close = *GetDlgItem(*dialog, IDC_CLOSE_BATCH);
        ProcessEventsUntil([&] { return close.isEnabled(); }, 600000);
        seconds = double(clock.elapsed()) / 1000.0;
        probe.stop();
        dialog->done(QDialog::Accepted);
    });
    bench::Press(window, IDC_ASSIGN_ADDRESSES);
    std::printf("%4d cameras listed and checked: %6.1f s from Apply to the report, %d verified, %d not sent, "
                "longest the window went without serving its events %lld ms\n",
                listed, seconds, CountStatus(window, QStringLiteral("verified")),
                CountStatus(window, QStringLiteral("not sent")), static_cast<long long>(worstGap));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    SetMessageBoxHandler([](const MessageRequest &request) {
        std::fprintf(stderr, "message: %s\n", request.text.c_str());
        return int(ANSWER_OK);
    });
    std::vector<std::string> runs(argv + 1, argv + argc);
    if (runs.empty())
        runs = {"50", "200"};
    for (const std::string &run : runs) {
        if (run == "demo") {
            Measure({"scripts/demo-cameras.ini", "Demo-pass-1"});
            continue;
        }
        lab::LabFile file(CameraFile(std::atoi(run.c_str())));
        Measure({file.Path(), kPassword});
    }
    return 0;
}
