// Assign Addresses through the real window against camsim in the lab: the button
// follows the check marks, the dialog previews the plan of its form or of a plan file
// with the problems that keep Apply disabled, and a batch ends with each camera's
// verdict in the list's Status column and in the exported report, which is never written
// through a link. The plan's rules and the verdicts themselves are the engine's, checked
// without a window.
#include "tests/gui/GuiTest.h"

#include "app/AssignAddressesDlg.h"
#include "app/Templates.h"
#include "app/UserFiles.h"
#include "platform/DialogTemplate.h"
#include "tests/lab/Forger.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string_view>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// In the file's order, which is not the order of their addresses: the list is sorted
// by address before the cameras are checked, so that the plan's order is not the order
// in which the verifying search lists them again.
const char *const kCameras = "[camera]\nmac = 02:00:00:00:05:05\nip = 10.77.0.42\npassword = Site-pass-1\n"
                             "[camera]\nmac = 02:00:00:00:05:00\nip = 10.77.0.10\npassword = Site-pass-1\n"
                             "[camera]\nmac = 02:00:00:00:05:01\nip = 10.77.0.11\npassword = Site-pass-1\n"
                             "[camera]\nmac = 02:00:00:00:05:02\nip = 10.77.0.12\npassword = Site-pass-1\n"
                             "[camera]\nmac = 02:00:00:00:05:03\nip = 10.77.0.13\npassword = Site-pass-1\n"
                             "[camera]\nmac = 02:00:00:00:05:04\nip = 10.77.0.14\npassword = Other-pass-9\n";
const std::vector<std::string> kMacsByAddress = {"02:00:00:00:05:00", "02:00:00:00:05:01", "02:00:00:00:05:02",
                                                 "02:00:00:00:05:03", "02:00:00:00:05:04", "02:00:00:00:05:05"};
const std::string kOtherPassword = "02:00:00:00:05:04";
// From 10.77.0.40 up, past 10.77.0.42, which the last camera has until it is counted.
const std::vector<std::string> kCountedFrom40 = {"10.77.0.40", "10.77.0.41", "10.77.0.43",
                                                 "10.77.0.44", "10.77.0.45", "10.77.0.46"};

class AssignAddresses : public CamerasWindowTest {
protected:
    AssignAddresses() : CamerasWindowTest(kCameras) {}
    void SetUp() override
    {
        fileAsker = [this](const FileRequest &request) {
            asked.push_back(request.choice);
            return chosenFile;
        };
        CamerasWindowTest::SetUp();
        ASSERT_EQ(RowCount(), 6);
        ClickHeader(CDeviceList::kIpColumn);
        ASSERT_EQ(ListColumn(CDeviceList::kMacColumn), kMacsByAddress);
    }

    void ClickHeader(int column)
    {
        QHeaderView &header = *List().horizontalHeader();
        QTest::mouseClick(header.viewport(), Qt::LeftButton, {},
                          QPoint(header.sectionViewportPosition(column) + 5, header.height() / 2));
    }
    std::vector<std::string> ListColumn(int column) const
    {
        std::vector<std::string> cells;
        for (int row = 0; row < RowCount(); ++row)
            cells.push_back(CellText(row, column));
        return cells;
    }
    bool AssignEnabled() const { return window->Control(IDC_ASSIGN_ADDRESSES)->isEnabled(); }

    // Opens the dialog with the window's button, runs the steps inside its modal run as
    // a user would, and closes it.
    void InDialog(const std::function<void(CAssignAddressesDlg &)> &steps)
    {
        ASSERT_TRUE(AssignEnabled());
        bool opened = false;
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<CAssignAddressesDlg *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            opened = true;
            steps(*dialog);
            if (GetDlgItem(*dialog, IDC_CLOSE_BATCH)->isEnabled())
                QTest::mouseClick(GetDlgItem(*dialog, IDC_CLOSE_BATCH), Qt::LeftButton);
            else
                dialog->done(QDialog::Rejected); // a failed step left a batch running
        });
        QTest::mouseClick(window->Control(IDC_ASSIGN_ADDRESSES), Qt::LeftButton);
        QCoreApplication::processEvents(); // the steps never outlive this call
        EXPECT_TRUE(opened);
    }

    static QWidget &Item(const CAssignAddressesDlg &dialog, int id) { return *GetDlgItem(dialog, id); }
    // The form is planned once typing pauses: its timer, restarted by every edit, has fired.
    static bool AwaitPlan(const CAssignAddressesDlg &dialog)
    {
        const auto *timer = dialog.findChild<QTimer *>(QStringLiteral("replanTimer"));
        return timer && WaitFor([&] { return !timer->isActive(); }, 5000);
    }
    static void Type(const CAssignAddressesDlg &dialog, int id, const std::string &text)
    {
        qobject_cast<QLineEdit *>(&Item(dialog, id))->setText(QString::fromStdString(text));
    }
    static QString LabelText(const CAssignAddressesDlg &dialog, int id)
    {
        return qobject_cast<QLabel *>(&Item(dialog, id))->text();
    }
    static std::vector<std::string> Cells(const CAssignAddressesDlg &dialog, int id, int column)
    {
        const QAbstractItemModel &model = *qobject_cast<QTableView *>(&Item(dialog, id))->model();
        std::vector<std::string> cells;
        for (int row = 0; row < model.rowCount(); ++row)
            cells.push_back(model.index(row, column).data().toString().toStdString());
        return cells;
    }
    static std::vector<std::string> NewAddresses(const CAssignAddressesDlg &dialog)
    {
        return Cells(dialog, IDC_PLAN_PREVIEW, 3);
    }
    static std::vector<std::string> Problems(const CAssignAddressesDlg &dialog)
    {
        return Cells(dialog, IDC_PLAN_PROBLEMS, 0);
    }

    // Reports exported while another thread switches the chosen name between a link to
    // `victim` and a file of its own: whichever a write meets, the victim never changes.
    // Each is met many times: a window that looked at the name before it opened it
    // followed the link within a few thousand exports.
    void ExportWhileTheNameFlips(CAssignAddressesDlg &dialog, const QString &name, const QString &victim)
    {
        const std::string victimPath = victim.toStdString(), before = lab::ReadFile(victimPath);
        const std::string target = name.toStdString(), asLink = target + ".link", asFile = target + ".file",
                          own = target + ".own";
        std::ofstream(own) << "a file of its own\n";
        // Each state is made beside the name and renamed over it, so that the name is
        // always there.
        std::atomic<bool> stop = false;
        std::thread flipper([&] {
            bool flipping = true;
            while (!stop && flipping)
                flipping = ::symlink(victimPath.c_str(), asLink.c_str()) == 0 &&
                           ::rename(asLink.c_str(), target.c_str()) == 0 && ::link(own.c_str(), asFile.c_str()) == 0 &&
                           ::rename(asFile.c_str(), target.c_str()) == 0;
            if (!flipping)
                ADD_FAILURE() << "the name could not be switched: " << std::strerror(errno);
        });
        constexpr int kExports = 4000, kEachOutcomeAtLeast = 100;
        int saved = 0, refused = 0;
        chosenFile = name;
        for (int attempt = 1; attempt <= kExports; ++attempt) {
            messages.boxes.clear();
            QTest::mouseClick(&Item(dialog, IDC_EXPORT_REPORT), Qt::LeftButton);
            if (messages.boxes.empty()) {
                ++saved;
            } else {
                ++refused;
                EXPECT_EQ(messages.boxes[0].text, "Failed to write " + target + ": it is a link");
            }
            if (lab::ReadFile(victimPath) != before) {
                ADD_FAILURE() << "the link was followed on export " << attempt;
                break;
            }
        }
        stop = true;
        flipper.join();
        EXPECT_GE(saved, kEachOutcomeAtLeast);
        EXPECT_GE(refused, kEachOutcomeAtLeast);
    }

    QString chosenFile;
    std::vector<FileChoice> asked;
};

bool Contains(const std::vector<std::string> &lines, const std::string &line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace

TEST_F(AssignAddresses, ButtonFollowsTheCheckMarksAndTheSearch)
{
    QWidget &button = *window->Control(IDC_ASSIGN_ADDRESSES);
    EXPECT_EQ(button.accessibleName(), QStringLiteral("Assign Addresses"));
    EXPECT_EQ(window->Control(IDC_SAVE_TO_VMS)->nextInFocusChain(), &button) << "reached by Tab after Save to HALVEX";
    EXPECT_FALSE(AssignEnabled()) << "a search leaves no row checked";
    ClickHeader(CDeviceList::kIndexColumn);
    EXPECT_TRUE(AssignEnabled());
    ClickHeader(CDeviceList::kIndexColumn);
    EXPECT_FALSE(AssignEnabled());
    ClickHeader(CDeviceList::kIndexColumn);
    ASSERT_TRUE(AssignEnabled());
    QTest::mouseClick(window->Control(IDC_SEARCH), Qt::LeftButton);
    EXPECT_FALSE(AssignEnabled()) << "the list is emptied";
    RunFirstSearchToEnd();
    ASSERT_EQ(RowCount(), 6);
    EXPECT_FALSE(AssignEnabled()) << "listed again, unchecked";
    ClickHeader(CDeviceList::kIndexColumn); // the Index header's turn outlives the search: this unchecks
    ClickHeader(CDeviceList::kIndexColumn);
    EXPECT_TRUE(AssignEnabled()) << "after the search unlocked the window";
}

TEST_F(AssignAddresses, PreviewAndProblemsFollowTheFormOrThePlanFile)
{
    QTemporaryDir folder;
    const QString planPath = folder.filePath(QStringLiteral("site.csv"));
    lab::LabFile plan("mac,ip\n02:00:00:00:05:00,10.77.0.11\n");
    ASSERT_TRUE(QFile::copy(QString::fromStdString(plan.Path()), planPath));
    const QString crowdedPath = folder.filePath(QStringLiteral("crowded.csv"));
    std::string crowdedText = "mac\n"; // 1002 cameras that did not answer
    for (int n = 0; n < 1002; ++n) {
        char row[24];
        std::snprintf(row, sizeof row, "02:FF:00:00:%02X:%02X\n", n >> 8, n & 0xFF);
        crowdedText += row;
    }
    lab::LabFile crowded(crowdedText);
    ASSERT_TRUE(QFile::copy(QString::fromStdString(crowded.Path()), crowdedPath));
    ClickHeader(CDeviceList::kIndexColumn);
    InDialog([&](CAssignAddressesDlg &dialog) {
        QWidget &apply = Item(dialog, IDC_APPLY_PLAN);
        EXPECT_EQ(qobject_cast<QLineEdit *>(&Item(dialog, IDC_BATCH_SUBNET_MASK))->text(), "255.255.252.0");
        EXPECT_EQ(Problems(dialog), std::vector<std::string>{"type the start address"});
        EXPECT_FALSE(apply.isEnabled());

        QTest::keyClicks(&Item(dialog, IDC_BATCH_START_IP), QStringLiteral("10.77.0.40"));
        ASSERT_TRUE(AwaitPlan(dialog));
        EXPECT_EQ(Cells(dialog, IDC_PLAN_PREVIEW, 0), kMacsByAddress);
        EXPECT_EQ(NewAddresses(dialog), kCountedFrom40);
        EXPECT_EQ(Problems(dialog), std::vector<std::string>{});
        EXPECT_TRUE(apply.isEnabled());

        struct Case {
            const char *start, *mask, *gateway;
            std::string problem;
        };
        const Case cases[] = {
            {"10.77.3.252", "255.255.252.0", "10.77.0.1",
             "the subnet has 3 free addresses from 10.77.3.252 to 10.77.3.255, not one for each of the 6 cameras"},
            {"10.77.0.40", "255.0.255.0", "10.77.0.1",
             "addresses are counted within the subnet mask, which must be a contiguous one"},
            {"10.77.8.10", "255.255.252.0", "10.77.0.1",
             "gateway 10.77.0.1 is outside the camera's subnet 10.77.8.0/22: the camera could not reach it"},
        };
        for (const Case &c : cases) {
            Type(dialog, IDC_BATCH_START_IP, c.start);
            Type(dialog, IDC_BATCH_SUBNET_MASK, c.mask);
            Type(dialog, IDC_BATCH_GATEWAY, c.gateway);
            ASSERT_TRUE(AwaitPlan(dialog));
            EXPECT_TRUE(Contains(Problems(dialog), c.problem)) << c.start << " " << c.mask;
            EXPECT_FALSE(apply.isEnabled()) << c.start << " " << c.mask;
        }

        qobject_cast<QRadioButton *>(&Item(dialog, IDC_BATCH_DHCP))->click();
        ASSERT_TRUE(AwaitPlan(dialog));
        EXPECT_EQ(NewAddresses(dialog), std::vector<std::string>(6, "DHCP"));
        EXPECT_FALSE(Item(dialog, IDC_BATCH_START_IP).isEnabled());
        EXPECT_TRUE(apply.isEnabled()) << "under DHCP the addresses typed are not planned";

        chosenFile = planPath;
        QTest::mouseClick(&Item(dialog, IDC_IMPORT_PLAN), Qt::LeftButton);
        EXPECT_EQ(LabelText(dialog, IDC_PLAN_SOURCE).left(15), QStringLiteral("Plan: site.csv "));
        EXPECT_EQ(NewAddresses(dialog), std::vector<std::string>{"10.77.0.11"});
        EXPECT_EQ(Problems(dialog), std::vector<std::string>{"line 2: ip 10.77.0.11 is the address of another camera "
                                                             "that answered, MAC \"02:00:00:00:05:01\""});
        EXPECT_FALSE(apply.isEnabled());

        chosenFile = crowdedPath; // its problems past the thousandth are counted
        QTest::mouseClick(&Item(dialog, IDC_IMPORT_PLAN), Qt::LeftButton);
        const std::vector<std::string> crowdedProblems = Problems(dialog);
        ASSERT_EQ(crowdedProblems.size(), 1001u);
        EXPECT_EQ(crowdedProblems.back(), "and 2 more");

        // Nothing but a file is a plan, and the rest is refused at once: a FIFO would hold
        // the window until a writer came. A writer waits at this one, so a window that
        // opened it would read a plan from it rather than hang.
        const QString fifo = folder.filePath(QStringLiteral("fifo.csv"));
        const QString link = folder.filePath(QStringLiteral("link.csv"));
        ASSERT_EQ(::mkfifo(fifo.toStdString().c_str(), 0600), 0);
        ASSERT_TRUE(QFile::link(planPath, link));
        std::thread writer([&] {
            const int fd = ::open(fifo.toStdString().c_str(), O_WRONLY | O_CLOEXEC); // until a reader comes
            const std::string_view text = "mac,ip\n02:00:00:00:05:00,10.77.0.50\n";
            if (fd >= 0 && ::write(fd, text.data(), text.size()) >= 0)
                ::close(fd);
        });
        const std::pair<QString, std::string> refused[] = {
            {folder.path(), "it is a folder, not a file"},
            {fifo, "it is a pipe, not a file"},
            {link, "it is a link, not a file"},
            {QStringLiteral("/dev/null"), "it is a device, not a file"},
        };
        for (const auto &[path, reason] : refused) {
            chosenFile = path;
            QTest::mouseClick(&Item(dialog, IDC_IMPORT_PLAN), Qt::LeftButton);
            EXPECT_EQ(Problems(dialog), std::vector<std::string>{"cannot read " + path.toStdString() + ": " + reason});
            EXPECT_EQ(NewAddresses(dialog), std::vector<std::string>{});
            EXPECT_FALSE(apply.isEnabled());
        }
        const int reader = ::open(fifo.toStdString().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); // lets it go
        writer.join();
        ::close(reader);

        qobject_cast<QRadioButton *>(&Item(dialog, IDC_BATCH_STATIC))->click();
        Type(dialog, IDC_BATCH_START_IP, "10.77.0.40");
        Type(dialog, IDC_BATCH_GATEWAY, "10.77.0.1");
        ASSERT_TRUE(AwaitPlan(dialog));
        EXPECT_EQ(LabelText(dialog, IDC_PLAN_SOURCE), QStringLiteral("Plan: the form above"));
        EXPECT_EQ(NewAddresses(dialog), kCountedFrom40);
        EXPECT_TRUE(apply.isEnabled());
    });
    EXPECT_EQ(asked, std::vector<FileChoice>(6, FileChoice::Open));
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().front();
}

// Keys typed quickly make one plan, once the typing pauses; until then the plan shown
// is stale, and Apply does not send it.
TEST_F(AssignAddresses, TypingPlansOnceAfterThePauseAndApplyWaitsForThePlan)
{
    ClickHeader(CDeviceList::kIndexColumn);
    InDialog([&](CAssignAddressesDlg &dialog) {
        QWidget &apply = Item(dialog, IDC_APPLY_PLAN);
        QSignalSpy plans(qobject_cast<QTableView *>(&Item(dialog, IDC_PLAN_PREVIEW))->model(),
                         &QAbstractItemModel::modelReset);
        QTest::keyClicks(&Item(dialog, IDC_BATCH_START_IP), QStringLiteral("10.77.0.40"));
        EXPECT_EQ(plans.count(), 0) << "planned while the keys came";
        EXPECT_FALSE(apply.isEnabled());
        ASSERT_TRUE(AwaitPlan(dialog));
        EXPECT_EQ(plans.count(), 1);
        EXPECT_EQ(NewAddresses(dialog), kCountedFrom40);
        EXPECT_TRUE(apply.isEnabled());

        QTest::keyClick(&Item(dialog, IDC_BATCH_START_IP), Qt::Key_Backspace); // 10.77.0.4, sound as well
        EXPECT_FALSE(apply.isEnabled()) << "Apply would send the plan of 10.77.0.40";
        ASSERT_TRUE(AwaitPlan(dialog));
        EXPECT_EQ(plans.count(), 2);
        EXPECT_EQ(NewAddresses(dialog).front(), "10.77.0.4");
        EXPECT_TRUE(apply.isEnabled());
    });
}

// The camera with another password refuses its command; every other camera is found
// again at its new address. The list shows each verdict until the next search.
TEST_F(AssignAddresses, ApplyVerifiesEachCameraAndExportsTheReport)
{
    QTemporaryDir folder;
    const QString reportPath = folder.filePath(QStringLiteral("report.csv"));
    const QString elsewhere = folder.filePath(QStringLiteral("elsewhere.txt"));
    const QString linkPath = folder.filePath(QStringLiteral("planted.csv"));
    lab::LabFile kept("kept as it was\n");
    ASSERT_TRUE(QFile::copy(QString::fromStdString(kept.Path()), elsewhere));
    ASSERT_TRUE(QFile::link(elsewhere, linkPath));

    std::vector<PlanRowReport> expected;
    for (std::size_t i = 0; i < kMacsByAddress.size(); ++i)
        expected.push_back({kMacsByAddress[i], kCountedFrom40[i],
                            kMacsByAddress[i] == kOtherPassword ? PlanOutcome::Rejected : PlanOutcome::Verified,
                            kMacsByAddress[i] == kOtherPassword ? RESULT_LOGIN_FAILED : 0});
    Login("admin", "Site-pass-1");
    ClickHeader(CDeviceList::kIndexColumn);
    InDialog([&](CAssignAddressesDlg &dialog) {
        EXPECT_EQ(qobject_cast<QLineEdit *>(&Item(dialog, IDC_BATCH_PASSWORD))->text(), "Site-pass-1");
        EXPECT_FALSE(Item(dialog, IDC_EXPORT_REPORT).isEnabled()) << "no report yet";
        Type(dialog, IDC_BATCH_START_IP, "10.77.0.40");
        ASSERT_TRUE(AwaitPlan(dialog));
        QTest::mouseClick(&Item(dialog, IDC_APPLY_PLAN), Qt::LeftButton);
        EXPECT_FALSE(Item(dialog, IDC_APPLY_PLAN).isEnabled());
        EXPECT_FALSE(Item(dialog, IDC_CLOSE_BATCH).isEnabled());
        ASSERT_TRUE(WaitFor([&] { return Item(dialog, IDC_CLOSE_BATCH).isEnabled(); }, 60000)) << "the batch did not end";
        EXPECT_EQ(LabelText(dialog, IDC_BATCH_PROGRESS), QStringLiteral("Done: 5 verified, 1 rejected"));
        EXPECT_FALSE(Item(dialog, IDC_CANCEL_BATCH).isEnabled());
        std::vector<std::string> answeredAt = kCountedFrom40;
        answeredAt[4] = "10.77.0.14"; // the camera that refused
        EXPECT_EQ(Cells(dialog, IDC_PLAN_PREVIEW, 2), answeredAt) << "the plan is made again against the new list";

        struct Export {
            QString path;
            std::string box; // empty: written
        };
        const Export exports[] = {
            {linkPath, "Failed to write " + linkPath.toStdString() + ": it is a link"},
            {folder.filePath(QStringLiteral("gone/report.csv")), "Failed to write " + folder.path().toStdString()},
            {reportPath, ""},
        };
        for (const Export &e : exports) {
            messages.boxes.clear();
            chosenFile = e.path;
            QTest::mouseClick(&Item(dialog, IDC_EXPORT_REPORT), Qt::LeftButton);
            if (e.box.empty()) {
                EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().front();
            } else {
                ASSERT_EQ(messages.boxes.size(), 1u) << e.path.toStdString();
                EXPECT_TRUE(messages.boxes[0].text.starts_with(e.box)) << messages.boxes[0].text;
            }
        }
        ExportWhileTheNameFlips(dialog, folder.filePath(QStringLiteral("flipped.csv")), elsewhere);
    });
    const std::string report = lab::ReadFile(reportPath.toStdString());
    EXPECT_TRUE(report.starts_with("MAC,IP,OUTCOME\n")) << report;
    EXPECT_EQ(report, PlanReportCsv(expected));
    EXPECT_EQ(lab::ReadFile(elsewhere.toStdString()), "kept as it was\n") << "the planted link was followed";

    std::map<std::string, std::string> statuses;
    for (int row = 0; row < RowCount(); ++row)
        statuses[CellText(row, CDeviceList::kMacColumn)] = CellText(row, CDeviceList::kStatusColumn);
    std::map<std::string, std::string> expectedStatuses;
    for (const std::string &mac : kMacsByAddress)
        expectedStatuses[mac] = mac == kOtherPassword ? "rejected (Failed. login failed)" : "verified";
    EXPECT_EQ(statuses, expectedStatuses);
    EXPECT_FALSE(AssignEnabled()) << "the verifying search listed them unchecked";

    QTest::mouseClick(window->Control(IDC_SEARCH), Qt::LeftButton);
    RunFirstSearchToEnd();
    ASSERT_EQ(RowCount(), 6);
    EXPECT_EQ(ListColumn(CDeviceList::kStatusColumn), std::vector<std::string>(6, ""));
}

// A batch gives up on a camera that never answers its command. Once the batch is over,
// that camera's results are the window's again: a later Save to it tells the user what
// the camera answered.
TEST_F(AssignAddresses, ALaterSaveHearsTheResultOfACameraTheBatchGaveUpOn)
{
    const std::string silent = "02:00:00:00:05:99"; // listed, but no camera takes its commands
    const lab::Forger forger;
    const auto searchWithSilentAt = [&](const std::string &ip) {
        QTest::mouseClick(window->Control(IDC_SEARCH), Qt::LeftButton);
        forger.Send(lab::RecordOf(lab::kReply, silent, ip));
        RunFirstSearchToEnd();
    };
    const auto rowOfMac = [&](const std::string &mac) {
        int row = 0;
        while (row < RowCount() && CellText(row, CDeviceList::kMacColumn) != mac)
            ++row;
        return row;
    };
    searchWithSilentAt("10.77.0.10");
    ASSERT_EQ(RowCount(), 7);
    Login("admin", "Site-pass-1");
    ClickHeader(CDeviceList::kIndexColumn);
    InDialog([&](CAssignAddressesDlg &dialog) {
        Type(dialog, IDC_BATCH_START_IP, "10.77.0.40");
        Type(dialog, IDC_BATCH_SUBNET_MASK, "255.255.252.0"); // the silent camera's reply names none
        Type(dialog, IDC_BATCH_GATEWAY, "10.77.0.1");
        ASSERT_TRUE(AwaitPlan(dialog));
        ASSERT_EQ(Problems(dialog), std::vector<std::string>{});
        QTest::mouseClick(&Item(dialog, IDC_APPLY_PLAN), Qt::LeftButton);
        ASSERT_TRUE(WaitFor([&] { return Item(dialog, IDC_CLOSE_BATCH).isEnabled(); }, 60000)) << "the batch did not end";
        EXPECT_EQ(LabelText(dialog, IDC_BATCH_PROGRESS).toStdString(), "Done: 5 verified, 1 rejected, 1 no answer")
            << ::testing::PrintToString(messages.Texts());
    });

    // The silent MAC answers from a site camera's address, so the login check passes.
    const std::string siteCamera = CellText(rowOfMac("02:00:00:00:05:00"), CDeviceList::kIpColumn);
    searchWithSilentAt(siteCamera);
    const int silentRow = rowOfMac(silent);
    ASSERT_LT(silentRow, RowCount());
    QTest::mouseClick(List().viewport(), Qt::LeftButton, {},
                      List().visualRect(List().model()->index(silentRow, CDeviceList::kMacColumn)).center());
    Login("admin", "Site-pass-1");
    messages.boxes.clear();
    QTest::mouseClick(window->Control(IDC_SAVE), Qt::LeftButton);
    lab::Record result = lab::RecordOf(lab::kSetConfig, silent);
    lab::PutI32(result, lab::at::kResult, RESULT_INVALID_PORT);
    forger.Send(result);
    ASSERT_TRUE(WaitFor([&] { return !messages.boxes.empty(); }, 10000)) << "the result was not told";
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Failed. Invalid port"});
    RunFirstSearchToEnd();
}
