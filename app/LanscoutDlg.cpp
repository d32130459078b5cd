#include "app/LanscoutDlg.h"

#include "app/AppIcon.h"
#include "app/AssignAddressesDlg.h"
#include "app/Dialogs.h"
#include "app/Templates.h"
#include "platform/Adapters.h"
#include "platform/AsyncSocket.h"
#include "platform/BusyWait.h"
#include "platform/DebugOutput.h"
#include "platform/DialogTemplate.h"
#include "platform/FileVersion.h"
#include "platform/Latin1Text.h"
#include "platform/Launcher.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTableView>
#include <QThread>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

constexpr const char *kTitleFormat = "Quorvane Camera Setup Utility (%1)";
constexpr int kPortEditScanLimit = 63;
constexpr const char *kExportFile = "SearchIPList.txt";
constexpr int kColumnWidths[] = {50, 130, 115, 200, 200, 110};
static_assert(std::size(kColumnWidths) == CDeviceList::kColumnCount, "every column has its width");

// The controls a sweep locks, in the order it locks them.
constexpr int kSearchControls[] = {IDC_SEARCH, IDC_DEVICE_LIST, IDC_SAVE, IDC_REBOOT, IDC_FACTORY_RESET,
                                   IDC_SAVE_TO_VMS, IDC_IP, IDC_SUBNET_MASK, IDC_GATEWAY, IDC_DNS,
                                   IDC_STATIC, IDC_HTTP_PORT, IDC_USER_ID, IDC_PASSWORD, IDC_ADAPTER,
                                   IDC_CHANGE_PASSWORD};

// The "%ld" rule: blanks, an optional sign, digits; whatever follows is ignored.
bool ScanInteger(const QString &text, std::int32_t &value)
{
    const QByteArray bytes = text.left(kPortEditScanLimit).toLatin1();
    const char *p = bytes.constData();
    while (std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    const char *digits = (*p == '+' || *p == '-') ? p + 1 : p;
    if (!std::isdigit(static_cast<unsigned char>(*digits)))
        return false;
    const long n = std::strtol(p, nullptr, 10);
    value = std::int32_t(std::clamp<long>(n, INT32_MIN, INT32_MAX));
    return true;
}

} // namespace

CLanscoutDlg::CLanscoutDlg(const CHandOverStore &store, FileAsker askFile, QWidget *parent)
    : QDialog(parent), m_askFile(std::move(askFile)), m_site(store, *this, *this, *this, m_timer)
{
    m_hIcon = LoadAppIcon();
}

CLanscoutDlg::~CLanscoutDlg()
{
    OnDestroyWindow();
    if (MessageOwner() == this)
        SetMessageOwner(nullptr);
}

QWidget *CLanscoutDlg::Control(int id) const
{
    return GetDlgItem(*this, id);
}

bool CLanscoutDlg::Create()
{
    if (m_bCreated)
        return !m_bEnded;
    m_bCreated = true;
    setWindowIcon(m_hIcon);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    BuildDialog(*this, kMainTemplate, kMainControls);
    m_listDevices = qobject_cast<QTableView *>(Control(IDC_DEVICE_LIST));
    m_listDevices->setModel(&m_deviceModel);
    m_editIP = qobject_cast<QLineEdit *>(Control(IDC_IP));
    m_editSubnetMask = qobject_cast<QLineEdit *>(Control(IDC_SUBNET_MASK));
    m_editGateway = qobject_cast<QLineEdit *>(Control(IDC_GATEWAY));
    m_editDNS = qobject_cast<QLineEdit *>(Control(IDC_DNS));
    m_editUserID = qobject_cast<QLineEdit *>(Control(IDC_USER_ID));
    m_editPassword = qobject_cast<QLineEdit *>(Control(IDC_PASSWORD));
    m_editModelName = qobject_cast<QLineEdit *>(Control(IDC_MODEL_NAME));
    m_editDeviceInfo = qobject_cast<QLineEdit *>(Control(IDC_DEVICE_INFO));
    m_comboAdapter = qobject_cast<QComboBox *>(Control(IDC_ADAPTER));
    SetMessageOwner(this);
    MakeMessageMap();
    BindControls(false);
    return OnInitWindow();
}

int CLanscoutDlg::DoModal()
{
    if (!Create())
        return ANSWER_CANCEL;
    return exec() == QDialog::Accepted ? ANSWER_OK : ANSWER_CANCEL;
}

// One place for every connection, in the order of the window's message table.
void CLanscoutDlg::MakeMessageMap()
{
    auto button = [this](int id) { return qobject_cast<QAbstractButton *>(Control(id)); };
    connect(button(IDC_SEARCH), &QAbstractButton::clicked, this, &CLanscoutDlg::OnSearch);
    connect(m_listDevices, &QAbstractItemView::clicked, this, [this](const QModelIndex &cell) { OnDeviceClick(cell.row()); });
    connect(button(IDC_SAVE), &QAbstractButton::clicked, this, &CLanscoutDlg::OnSave);
    connect(button(IDC_STATIC), &QAbstractButton::clicked, this, &CLanscoutDlg::OnStaticMode);
    connect(button(IDC_DHCP), &QAbstractButton::clicked, this, &CLanscoutDlg::OnDhcpMode);
    connect(m_listDevices, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &cell) { OnDeviceDblClick(cell.row(), cell.column()); });
    connect(button(IDC_SAVE_TO_VMS), &QAbstractButton::clicked, this, &CLanscoutDlg::OnSaveToHalvex);
    connect(button(IDC_FILE_SAVE_LIST), &QAbstractButton::clicked, this, &CLanscoutDlg::OnFileSaveList);
    connect(m_listDevices->horizontalHeader(), &QHeaderView::sectionClicked, this, &CLanscoutDlg::OnColumnClick);
    connect(button(IDC_REBOOT), &QAbstractButton::clicked, this, &CLanscoutDlg::OnReboot);
    connect(button(IDC_FACTORY_RESET), &QAbstractButton::clicked, this, &CLanscoutDlg::OnFactoryReset);
    connect(button(IDC_CHANGE_PASSWORD), &QAbstractButton::clicked, this, &CLanscoutDlg::OnChangePassword);
    connect(button(IDC_ASSIGN_ADDRESSES), &QAbstractButton::clicked, this, &CLanscoutDlg::OnAssignAddresses);
    connect(m_comboAdapter, &QComboBox::currentIndexChanged, this, &CLanscoutDlg::OnAdapterChosen);
}

bool CLanscoutDlg::OnInitWindow()
{
    CFileVersion version;
    version.Load();
    setWindowTitle(QString::fromLatin1(kTitleFormat).arg(QString::fromLatin1(version.GetText())));
    m_editUserID->setText(QStringLiteral("admin"));
    setWindowIcon(m_hIcon);
    InitDeviceColumns();
    FillAdapterList();
    m_nIpMode = 0;
    CreateSockets();
    if (m_bEnded)
        return false;
    m_pWaitDlg = std::make_unique<CModalDlg>(this);
    OnSearch();
    return true;
}

void CLanscoutDlg::EndDialog(int result)
{
    m_bEnded = true;
    done(result == ANSWER_OK ? QDialog::Accepted : QDialog::Rejected);
}

void CLanscoutDlg::BindPortEdit(bool read, int id, std::int32_t &value, bool &ok)
{
    auto *edit = qobject_cast<QLineEdit *>(Control(id));
    if (!read) {
        edit->setText(QString::number(value));
        return;
    }
    if (!ok)
        return;
    if (!ScanInteger(edit->text(), value)) {
        ok = false;
        ShowMessage("Enter an integer.", MessageButtons::Ok, MessageIcon::Warning);
        edit->setFocus();
        edit->selectAll();
    }
}

bool CLanscoutDlg::BindControls(bool read)
{
    bool ok = true;
    BindPortEdit(read, IDC_HTTP_PORT, m_nHttpPort, ok);
    BindPortEdit(read, IDC_DATA_PORT, m_nDataPort, ok);
    BindPortEdit(read, IDC_RTSP_PORT, m_nRtspPort, ok);
    BindPortEdit(read, IDC_AUDIO_TX_PORT, m_nAudioTxPort, ok);
    BindPortEdit(read, IDC_AUDIO_RX_PORT, m_nAudioRxPort, ok);
    if (!ok)
        return false;
    auto *staticMode = qobject_cast<QRadioButton *>(Control(IDC_STATIC));
    auto *dhcpMode = qobject_cast<QRadioButton *>(Control(IDC_DHCP));
    if (read) {
        m_nIpMode = staticMode->isChecked() ? 0 : dhcpMode->isChecked() ? 1 : -1;
    } else {
        // Unchecking needs the group's exclusivity lifted for a moment.
        QButtonGroup *group = staticMode->group();
        group->setExclusive(false);
        staticMode->setChecked(m_nIpMode == 0);
        dhcpMode->setChecked(m_nIpMode == 1);
        group->setExclusive(true);
    }
    return true;
}

void CLanscoutDlg::FillAdapterList()
{
    const std::vector<AdapterEntry> &adapters = SystemAdapters();
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        const std::string text = adapters[i].name + " : " + adapters[i].address;
        m_comboAdapter->addItem(QString::fromLatin1(text.c_str()), QVariant::fromValue(quintptr(&adapters[i])));
    }
    if (m_comboAdapter->count() > 0)
        m_comboAdapter->setCurrentIndex(0);
    OnAdapterChosen();
}

// Enter confirms unless a push button has the focus, which it then presses.
// Shift+F10 opens the window menu, as the menu key does.
void CLanscoutDlg::keyPressEvent(QKeyEvent *event)
{
    if (HandleEnterKey(*this, *event, [this] { OnOK(); }))
        return;
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        const QWidget *anchor = focusWidget() ? focusWidget() : this;
        ShowWindowMenu(anchor->mapToGlobal(anchor->rect().center()));
        return;
    }
    QDialog::keyPressEvent(event);
}

void CLanscoutDlg::OnOK()
{
    if (BindControls(true))
        EndDialog(ANSWER_OK);
}

// Linux windows have no system menu to extend: the About entry is in the window's
// context menu, opened by the mouse or the menu key on the window's free area.
void CLanscoutDlg::contextMenuEvent(QContextMenuEvent *event)
{
    ShowWindowMenu(event->globalPos());
}

void CLanscoutDlg::ShowWindowMenu(const QPoint &globalPos)
{
    QMenu menu(this);
    menu.setAccessibleName(QStringLiteral("Window Menu"));
    menu.addAction(QString::fromLatin1(IDS_ABOUTBOX), this, &CLanscoutDlg::OnAbout);
    menu.exec(globalPos);
}

void CLanscoutDlg::OnAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CLanscoutDlg::OnDestroyWindow()
{
    m_site.Search().Close();
    m_pWaitDlg.reset();
}

void CLanscoutDlg::InitDeviceColumns()
{
    for (int k = 0; k < CDeviceList::kColumnCount; ++k)
        m_listDevices->setColumnWidth(k, kColumnWidths[k]);
}

// The selector is locked while a sweep runs, so a choice counts from the next search.
void CLanscoutDlg::OnAdapterChosen()
{
    const QVariant item = m_comboAdapter->currentData();
    const auto *adapter = item.isValid() ? reinterpret_cast<const AdapterEntry *>(item.value<quintptr>()) : nullptr;
    m_site.Search().ChooseAdapter(adapter ? adapter->address : std::string());
}

void CLanscoutDlg::CreateSockets()
{
    if (!m_site.Search().Open(std::make_unique<CAsyncSocket>()))
        EndDialog(ANSWER_CANCEL);
}

void CLanscoutDlg::OnSearch()
{
    m_site.Search().Search(); // a running sweep keeps its list, socket and wait box
}

void CLanscoutDlg::ListEmptiedForSearch()
{
    ClearDetails();
    UpdateAssignButton();
}

void CLanscoutDlg::OnColumnClick(int column)
{
    m_site.Devices().OnColumnClick(column);
    UpdateAssignButton();
    // The current row follows the camera of the details panel, which the actions work on.
    if (const int selected = m_site.Devices().SelectedRow(); selected >= 0) {
        const int currentColumn = std::max(m_listDevices->currentIndex().column(), 0);
        m_listDevices->selectionModel()->setCurrentIndex(m_deviceModel.index(selected, currentColumn),
                                                         QItemSelectionModel::NoUpdate);
    }
}

void CLanscoutDlg::SetAddressEditsEnabled(bool enabled)
{
    for (QLineEdit *edit : {m_editIP, m_editSubnetMask, m_editGateway, m_editDNS})
        edit->setEnabled(enabled);
}

void CLanscoutDlg::OnDeviceClick(int row)
{
    const std::optional<Camera> clicked = m_site.Devices().CameraAt(row);
    if (row < 0 || !clicked)
        return;
    m_site.Devices().Select(row);
    const Camera &camera = *clicked;
    m_nIpMode = camera.ipMode;
    m_editModelName->setText(Latin1(camera.product));
    m_editDeviceInfo->clear();
    m_editIP->setText(Latin1(camera.ip));
    m_editDNS->setText(Latin1(camera.dns));
    m_editGateway->setText(Latin1(camera.gateway));
    m_editSubnetMask->setText(Latin1(camera.subnetMask));
    SetAddressEditsEnabled(m_nIpMode == IP_MODE_STATIC);
    m_nHttpPort = camera.httpPort;
    m_nDataPort = camera.dataPort;
    m_nRtspPort = camera.rtspPort;
    m_nAudioRxPort = camera.audioRecvPort;
    m_nAudioTxPort = camera.audioSendPort;
    m_bHttps = camera.https;
    BindControls(false);
}

void CLanscoutDlg::OnStaticMode()
{
    SetAddressEditsEnabled(true);
}

void CLanscoutDlg::OnDhcpMode()
{
    SetAddressEditsEnabled(false);
}

void CLanscoutDlg::ClearDetails()
{
    for (QLineEdit *edit : {m_editModelName, m_editDeviceInfo, m_editDNS, m_editGateway, m_editIP, m_editSubnetMask})
        edit->clear();
    m_nIpMode = IP_MODE_STATIC;
    m_nHttpPort = m_nDataPort = m_nRtspPort = m_nAudioTxPort = m_nAudioRxPort = 0;
    SetAddressEditsEnabled(true);
    BindControls(false);
}

// The details panel's values; each port goes out cut to its low 16 bits.
NetworkSettings CLanscoutDlg::PanelSettings() const
{
    NetworkSettings settings;
    settings.ipMode = m_nIpMode;
    settings.ip = Latin1(m_editIP->text());
    settings.subnetMask = Latin1(m_editSubnetMask->text());
    settings.gateway = Latin1(m_editGateway->text());
    settings.dns = Latin1(m_editDNS->text());
    settings.httpPort = std::uint16_t(m_nHttpPort);
    settings.dataPort = std::uint16_t(m_nDataPort);
    settings.rtspPort = std::uint16_t(m_nRtspPort);
    settings.audioRecvPort = std::uint16_t(m_nAudioRxPort);
    settings.audioSendPort = std::uint16_t(m_nAudioTxPort);
    settings.https = m_bHttps;
    return settings;
}

void CLanscoutDlg::OnSave()
{
    m_site.Actions().Save();
}

void CLanscoutDlg::OnReboot()
{
    m_site.Actions().Reboot();
}

void CLanscoutDlg::OnFactoryReset()
{
    m_site.Actions().FactoryReset();
}

void CLanscoutDlg::OnChangePassword()
{
    m_site.Actions().ChangePassword();
}

// The checked cameras in the list's order, with the login typed in the window.
void CLanscoutDlg::OnAssignAddresses()
{
    std::vector<Camera> checked = m_site.Devices().CheckedCameras();
    if (checked.empty())
        return;
    CAssignAddressesDlg dialog(m_site.Batch(), std::move(checked), Login(), m_askFile, this);
    dialog.exec();
    UpdateAssignButton();
}

void CLanscoutDlg::UpdateAssignButton()
{
    Control(IDC_ASSIGN_ADDRESSES)->setEnabled(!m_bSearchLocked && !m_site.Devices().CheckedCameras().empty());
}

void CLanscoutDlg::OnSaveToHalvex()
{
    const CameraHandOver camera{Latin1(m_editIP->text()), Latin1(m_editUserID->text()), Latin1(m_editPassword->text()),
                                std::uint32_t(m_nHttpPort)};
    if (m_site.HandOver(camera))
        OnOK();
}

// One line a row, in the order shown.
void CLanscoutDlg::OnFileSaveList()
{
    // The user would otherwise look for a list that is not there, or not whole.
    if (const std::string error = m_site.Devices().WriteExport(kExportFile); !error.empty())
        ShowMessage(std::string("Failed to write ") + kExportFile + ": " + Latin1(QString::fromStdString(error)));
}

void CLanscoutDlg::OnDeviceDblClick(int /*row*/, int column)
{
    const std::optional<Camera> camera = m_site.Devices().CameraAt(m_site.Devices().SelectedRow());
    if (!camera || column == CDeviceList::kIndexColumn)
        return;
    OpenCameraWebPage(*this, camera->ip, m_bHttps != 0, std::uint32_t(m_nHttpPort));
}

int CLanscoutDlg::ShowMessage(const std::string &text, MessageButtons buttons, MessageIcon icon)
{
    return ::ShowMessage(text, buttons, icon);
}

std::optional<std::string> CLanscoutDlg::AskNewPassword(const std::string &ip, const std::string &user,
                                                        const std::string &password)
{
    CChangePwdDlg dialog;
    dialog.m_strIP = ip;
    dialog.m_strUserID = user;
    dialog.m_strPassword = password;
    if (dialog.exec() != CHANGE_PWD_DONE)
        return std::nullopt;
    return dialog.m_strPassword;
}

void CLanscoutDlg::OpenWebPage(const std::string &url)
{
    OpenInBrowser(url);
}

// Requests to cameras keep this window painted.
void CLanscoutDlg::RunBusy(const std::function<void()> &work)
{
    BusyWait(work);
}

CommandLogin CLanscoutDlg::Login() const
{
    return {Latin1(m_editUserID->text()), Latin1(m_editPassword->text())};
}

void CLanscoutDlg::SetLogin(const CommandLogin &login)
{
    m_editUserID->setText(QString::fromLatin1(login.userId.c_str()));
    m_editPassword->setText(QString::fromLatin1(login.password.c_str()));
}

void CLanscoutDlg::ClearPassword()
{
    m_editPassword->clear();
}

std::optional<NetworkSettings> CLanscoutDlg::ReadSettings()
{
    if (!BindControls(true))
        return std::nullopt;
    return PanelSettings();
}

int CLanscoutDlg::HighlightedRows() const
{
    return int(m_listDevices->selectionModel()->selectedRows().size());
}

void CLanscoutDlg::CallOnDisplayThread(const std::function<void()> &fn)
{
    QMetaObject::invokeMethod(this, fn, Qt::BlockingQueuedConnection);
}

void CLanscoutDlg::ShowSearchWait(bool shown)
{
    if (shown)
        m_pWaitDlg->CentreAndShow();
    else
        m_pWaitDlg->close();
}

void CLanscoutDlg::EnableSearchControls(bool enable)
{
    for (int id : kSearchControls)
        Control(id)->setEnabled(enable);
    m_bSearchLocked = !enable;
    UpdateAssignButton();
}

void CLanscoutDlg::ServeDisplayThread()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(1);
}
