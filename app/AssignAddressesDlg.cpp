#include "app/AssignAddressesDlg.h"

#include "app/AppIcon.h"
#include "app/Templates.h"
#include "app/UserFiles.h"
#include "inventory/DeviceList.h"
#include "platform/DialogTemplate.h"
#include "platform/InputFile.h"
#include "platform/Latin1Text.h"
#include "platform/MessageBox.h"

#include <QAbstractTableModel>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringListModel>
#include <QTableView>
#include <QTimer>

#include <array>
#include <chrono>

namespace {

// The edits of the addresses themselves, which a camera under DHCP takes from its server.
constexpr int kAddressEdits[] = {IDC_BATCH_START_IP, IDC_BATCH_SUBNET_MASK, IDC_BATCH_GATEWAY, IDC_BATCH_DNS};
// What makes the plan: left as it is while a batch runs.
constexpr int kPlanControls[] = {IDC_BATCH_STATIC, IDC_BATCH_DHCP, IDC_BATCH_HTTP_PORT, IDC_BATCH_USER_ID,
                                 IDC_BATCH_PASSWORD, IDC_IMPORT_PLAN};

constexpr int kPreviewColumnWidths[] = {130, 160, 110, 110};

// A plan of thousands of cameras takes a moment to make: the form is planned again once
// typing pauses this long, not at every key.
constexpr std::chrono::milliseconds kReplanPause{250};

QString NewAddressText(const PlanRow &row)
{
    if (row.ip)
        return Latin1(*row.ip);
    return QString::fromLatin1(row.mode == IP_MODE_DHCP ? "DHCP" : "keep");
}

// "Done: 48 verified, 1 rejected, 1 no answer"
QString Summary(const std::vector<PlanRowReport> &report)
{
    constexpr PlanOutcome kOrder[] = {PlanOutcome::Verified, PlanOutcome::Rejected, PlanOutcome::NoAnswer,
                                      PlanOutcome::NotVerified, PlanOutcome::NotSent};
    QStringList counts;
    for (PlanOutcome outcome : kOrder) {
        const auto count = std::count_if(report.begin(), report.end(),
                                         [&](const PlanRowReport &row) { return row.outcome == outcome; });
        if (count > 0)
            counts << QString::number(count) + ' ' + QString::fromStdString(OutcomeWords(outcome));
    }
    return QStringLiteral("Done: ") + counts.join(QStringLiteral(", "));
}

QString ProgressText(const BatchProgress &progress)
{
    if (progress.stage == BatchProgress::Stage::Verifying)
        return QStringLiteral("Verifying: searching again...");
    const QString answered = QStringLiteral("%1 of %2 answered").arg(progress.settled).arg(progress.total);
    return progress.cancelled ? QStringLiteral("Cancelled: ") + answered + QStringLiteral(", no further command is sent")
                              : QStringLiteral("Sending: ") + answered;
}

} // namespace

// The plan's rows as the preview shows them: the camera as it answered, and what it gets.
class CPlanPreviewModel final : public QAbstractTableModel {
public:
    using Row = std::array<QString, 4>;

    void SetRows(std::vector<Row> rows)
    {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
    }

    int rowCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid() || std::size_t(index.row()) >= m_rows.size())
            return {};
        return m_rows[std::size_t(index.row())][std::size_t(index.column())];
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const char *const kCaptions[] = {CDeviceList::ColumnCaption(CDeviceList::kMacColumn),
                                                CDeviceList::ColumnCaption(CDeviceList::kProductColumn),
                                                CDeviceList::ColumnCaption(CDeviceList::kIpColumn),
                                                "NEW IP ADDRESS"};
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= 4)
            return {};
        return QString::fromLatin1(kCaptions[section]);
    }

private:
    std::vector<Row> m_rows;
};

CAssignAddressesDlg::CAssignAddressesDlg(CAssignAddresses &batch, std::vector<Camera> chosen,
                                         const CommandLogin &login, FileAsker askFile, QWidget *parent)
    : QDialog(parent), m_batch(batch), m_chosen(std::move(chosen)), m_askFile(std::move(askFile)),
      m_pPreview(std::make_unique<CPlanPreviewModel>()), m_pProblems(std::make_unique<QStringListModel>()),
      m_pReplanTimer(new QTimer(this))
{
    m_pReplanTimer->setObjectName(QStringLiteral("replanTimer"));
    m_pReplanTimer->setSingleShot(true);
    m_pReplanTimer->setInterval(kReplanPause);
    setWindowIcon(LoadAppIcon());
    BuildDialog(*this, kAssignAddressesTemplate, kAssignAddressesControls);
    auto *preview = qobject_cast<QTableView *>(GetDlgItem(*this, IDC_PLAN_PREVIEW));
    preview->setModel(m_pPreview.get());
    for (int k = 0; k < int(std::size(kPreviewColumnWidths)); ++k)
        preview->setColumnWidth(k, kPreviewColumnWidths[k]);
    preview->horizontalHeader()->setStretchLastSection(true);
    auto *problems = qobject_cast<QTableView *>(GetDlgItem(*this, IDC_PLAN_PROBLEMS));
    problems->setModel(m_pProblems.get());
    problems->horizontalHeader()->hide();
    problems->horizontalHeader()->setStretchLastSection(true);
    Prefill(login);
    MakeMessageMap();
    m_batch.SetProgressHandler([this](const BatchProgress &progress) { ShowProgress(progress); });
    Replan();
}

CAssignAddressesDlg::~CAssignAddressesDlg()
{
    m_batch.SetProgressHandler({});
}

void CAssignAddressesDlg::MakeMessageMap()
{
    auto button = [this](int id) { return qobject_cast<QAbstractButton *>(GetDlgItem(*this, id)); };
    for (int id : {IDC_BATCH_START_IP, IDC_BATCH_SUBNET_MASK, IDC_BATCH_GATEWAY, IDC_BATCH_DNS, IDC_BATCH_HTTP_PORT})
        connect(Edit(id), &QLineEdit::textChanged, this, &CAssignAddressesDlg::OnFormEdited);
    connect(button(IDC_BATCH_DHCP), &QAbstractButton::toggled, this, &CAssignAddressesDlg::OnModeToggled);
    connect(button(IDC_IMPORT_PLAN), &QAbstractButton::clicked, this, &CAssignAddressesDlg::OnImportPlan);
    connect(button(IDC_APPLY_PLAN), &QAbstractButton::clicked, this, &CAssignAddressesDlg::OnApply);
    connect(button(IDC_EXPORT_REPORT), &QAbstractButton::clicked, this, &CAssignAddressesDlg::OnExportReport);
    connect(button(IDC_CANCEL_BATCH), &QAbstractButton::clicked, this, &CAssignAddressesDlg::OnCancelBatch);
    connect(button(IDC_CLOSE_BATCH), &QAbstractButton::clicked, this, &CAssignAddressesDlg::reject);
    connect(m_pReplanTimer, &QTimer::timeout, this, &CAssignAddressesDlg::Replan);
}

// The first camera's subnet, gateway and DNS are most often the site's; the start
// address is the installer's to choose.
void CAssignAddressesDlg::Prefill(const CommandLogin &login)
{
    if (!m_chosen.empty()) {
        const Camera &first = m_chosen.front();
        Edit(IDC_BATCH_SUBNET_MASK)->setText(Latin1(first.subnetMask));
        Edit(IDC_BATCH_GATEWAY)->setText(Latin1(first.gateway));
        Edit(IDC_BATCH_DNS)->setText(Latin1(first.dns));
    }
    qobject_cast<QRadioButton *>(GetDlgItem(*this, IDC_BATCH_STATIC))->setChecked(true);
    Edit(IDC_BATCH_USER_ID)->setText(Latin1(login.userId));
    Edit(IDC_BATCH_PASSWORD)->setText(Latin1(login.password));
}

QLineEdit *CAssignAddressesDlg::Edit(int id) const
{
    return qobject_cast<QLineEdit *>(GetDlgItem(*this, id));
}

BatchForm CAssignAddressesDlg::ReadForm() const
{
    BatchForm form;
    form.startIp = Latin1(Edit(IDC_BATCH_START_IP)->text());
    form.mask = Latin1(Edit(IDC_BATCH_SUBNET_MASK)->text());
    form.gateway = Latin1(Edit(IDC_BATCH_GATEWAY)->text());
    form.dns = Latin1(Edit(IDC_BATCH_DNS)->text());
    form.httpPort = Latin1(Edit(IDC_BATCH_HTTP_PORT)->text());
    const auto *dhcp = qobject_cast<QRadioButton *>(GetDlgItem(*this, IDC_BATCH_DHCP));
    form.mode = dhcp->isChecked() ? IP_MODE_DHCP : IP_MODE_STATIC;
    return form;
}

CommandLogin CAssignAddressesDlg::ReadLogin() const
{
    return {Latin1(Edit(IDC_BATCH_USER_ID)->text()), Latin1(Edit(IDC_BATCH_PASSWORD)->text())};
}

// Typing in the form makes it the plan again, in place of an imported file.
void CAssignAddressesDlg::OnFormEdited()
{
    m_planFile.clear();
    m_planText.reset();
    m_importError.clear();
    ReplanAfterPause();
}

void CAssignAddressesDlg::ReplanAfterPause()
{
    m_pReplanTimer->start(); // restarted by every edit
    UpdateControls();
}

bool CAssignAddressesDlg::PlanIsCurrent() const
{
    return !m_pReplanTimer->isActive();
}

void CAssignAddressesDlg::OnModeToggled()
{
    UpdateControls();
    OnFormEdited();
}

void CAssignAddressesDlg::OnImportPlan()
{
    const QString path = AskFileName(m_askFile, {FileChoice::Open, QStringLiteral("Import Plan"),
                                                 QStringLiteral("CSV files (*.csv);;All files (*)"), QString(), this});
    if (path.isEmpty())
        return;
    // A FIFO or a device would hold the window: only a file is read.
    InputFile file = ReadBoundedFile(path.toStdString(), kMaxPlanBytes, InputKinds::FilesOnly);
    m_planFile = QFileInfo(path).fileName();
    m_planText = std::move(file.bytes);
    m_importError = std::move(file.error);
    Replan();
}

// After a batch the cameras answer with what they took: the plan is made against that,
// and a chosen camera counts from the address it has now.
void CAssignAddressesDlg::Replan()
{
    m_pReplanTimer->stop();
    const std::vector<Camera> listed = m_batch.ListedCameras();
    if (m_planFile.isEmpty()) {
        const CCamerasByMac byMac(listed);
        std::vector<Camera> chosenNow;
        chosenNow.reserve(m_chosen.size());
        for (const Camera &camera : m_chosen) {
            const Camera *now = byMac.Find(camera.mac);
            chosenNow.push_back(now ? *now : camera);
        }
        m_plan = PlanFromForm(ReadForm(), chosenNow, listed);
    } else if (m_planText) {
        m_plan = PlanFromCsv(*m_planText, listed);
    } else {
        m_plan = CheckedPlan{{}, {}, {m_importError}};
    }
    if (const std::optional<std::string> problem = m_batch.SearchProblem())
        m_plan.problems.insert(m_plan.problems.begin(), *problem);
    ShowPlan(listed);
    UpdateControls();
}

void CAssignAddressesDlg::ShowPlan(const std::vector<Camera> &listed)
{
    const CCamerasByMac byMac(listed);
    std::vector<CPlanPreviewModel::Row> rows;
    for (const PlanRow &row : m_plan.rows) {
        const Camera *camera = byMac.Find(row.mac);
        rows.push_back({Latin1(camera ? camera->mac : row.mac),
                        camera ? Latin1(camera->product) : QString(),
                        camera ? Latin1(camera->ip) : QString(), NewAddressText(row)});
    }
    m_pPreview->SetRows(std::move(rows));
    QStringList problems;
    for (const std::string &problem : m_plan.problems)
        problems << QString::fromStdString(problem);
    m_pProblems->setStringList(problems);
    auto *source = qobject_cast<QLabel *>(GetDlgItem(*this, IDC_PLAN_SOURCE));
    source->setText(m_planFile.isEmpty()
                        ? QStringLiteral("Plan: the form above")
                        : QStringLiteral("Plan: ") + m_planFile + QStringLiteral(" (editing the form plans from it again)"));
}

void CAssignAddressesDlg::OnApply()
{
    m_batch.Apply(m_plan, ReadLogin()); // says itself why it did not start
    UpdateControls();
}

void CAssignAddressesDlg::OnCancelBatch()
{
    m_batch.Cancel();
}

void CAssignAddressesDlg::reject()
{
    if (m_batch.IsRunning())
        OnCancelBatch();
    else
        QDialog::reject();
}

// A report that could not be written is said so; nothing is claimed saved.
void CAssignAddressesDlg::OnExportReport()
{
    const QString path =
        AskFileName(m_askFile, {FileChoice::Save, QStringLiteral("Export Report"), QStringLiteral("CSV files (*.csv)"),
                                QStringLiteral("address-report.csv"), this});
    if (path.isEmpty())
        return;
    const std::string csv = PlanReportCsv(m_batch.Report());
    if (const QString error = WriteWholeFile(path, QByteArray::fromStdString(csv)); !error.isEmpty())
        ShowMessage("Failed to write " + Latin1(path) + ": " + Latin1(error)); // boxes show Latin-1
}

void CAssignAddressesDlg::ShowProgress(const BatchProgress &progress)
{
    m_progress = progress;
    auto *label = qobject_cast<QLabel *>(GetDlgItem(*this, IDC_BATCH_PROGRESS));
    if (progress.stage == BatchProgress::Stage::Done) {
        label->setText(Summary(m_batch.Report()));
        Replan(); // against what the cameras answer now
        return;
    }
    label->setText(ProgressText(progress));
    UpdateControls();
}

void CAssignAddressesDlg::UpdateControls()
{
    const bool running = m_batch.IsRunning();
    const bool dhcp = ReadForm().mode == IP_MODE_DHCP;
    for (int id : kAddressEdits)
        GetDlgItem(*this, id)->setEnabled(!running && !dhcp);
    for (int id : kPlanControls)
        GetDlgItem(*this, id)->setEnabled(!running);
    GetDlgItem(*this, IDC_APPLY_PLAN)
        ->setEnabled(!running && PlanIsCurrent() && !m_plan.rows.empty() && m_plan.problems.empty());
    GetDlgItem(*this, IDC_EXPORT_REPORT)->setEnabled(!running && !m_batch.Report().empty());
    const bool sending = m_progress.stage == BatchProgress::Stage::Sending && !m_progress.cancelled;
    GetDlgItem(*this, IDC_CANCEL_BATCH)->setEnabled(running && sending);
    GetDlgItem(*this, IDC_CLOSE_BATCH)->setEnabled(!running);
}

// Enter presses the focused button and nothing else: a plan is only sent by Apply.
void CAssignAddressesDlg::keyPressEvent(QKeyEvent *event)
{
    if (!HandleEnterKey(*this, *event, [] {}))
        QDialog::keyPressEvent(event);
}
