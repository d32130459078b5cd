#include "app/LanscoutDlg.h"

#include "app/AppIcon.h"
#include "app/Dialogs.h"
#include "app/FileVersion.h"
#include "app/Templates.h"
#include "discovery/UDPSocket.h"
#include "platform/Adapters.h"
#include "platform/BlockingCall.h"
#include "platform/BusyWait.h"
#include "platform/DialogTemplate.h"
#include "platform/MessageBox.h"
#include "platform/QtMessageBox.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTableWidget>

#include <cctype>
#include <climits>
#include <cstdlib>

namespace {

constexpr const char *kTitleFormat = "Quorvane Camera Setup Utility (%1)";
constexpr int kPortEditScanLimit = 63;

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

CLanscoutDlg::CLanscoutDlg(QWidget *parent) : QDialog(parent)
{
    m_hIcon = LoadAppIcon();
    ClearSaveRequest();
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
    m_listDevices = qobject_cast<QTableWidget *>(Control(IDC_DEVICE_LIST));
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
    UseQtMessageBoxes();
    SetBlockingRunner(BusyWait); // requests to cameras keep this window painted
    MakeMessageMap();
    BindControls(false);
    return OnInitWindow();
}

int CLanscoutDlg::DoModal()
{
    if (!Create())
        return IDCANCEL;
    return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

// One place for every connection, in the order of the window's message table.
void CLanscoutDlg::MakeMessageMap()
{
    auto button = [this](int id) { return qobject_cast<QAbstractButton *>(Control(id)); };
    connect(button(IDC_SEARCH), &QAbstractButton::clicked, this, &CLanscoutDlg::OnSearch);
    connect(m_listDevices, &QTableWidget::cellClicked, this, [this](int row, int) { OnDeviceClick(row); });
    connect(button(IDC_SAVE), &QAbstractButton::clicked, this, &CLanscoutDlg::OnSave);
    connect(button(IDC_STATIC), &QAbstractButton::clicked, this, &CLanscoutDlg::OnStaticMode);
    connect(button(IDC_DHCP), &QAbstractButton::clicked, this, &CLanscoutDlg::OnDhcpMode);
    connect(m_listDevices, &QTableWidget::cellDoubleClicked, this, &CLanscoutDlg::OnDeviceDblClick);
    connect(button(IDC_SAVE_TO_VMS), &QAbstractButton::clicked, this, &CLanscoutDlg::OnSaveToHalvex);
    connect(button(IDC_FILE_SAVE_LIST), &QAbstractButton::clicked, this, &CLanscoutDlg::OnFileSaveList);
    connect(m_listDevices->horizontalHeader(), &QHeaderView::sectionClicked, this, &CLanscoutDlg::OnColumnClick);
    connect(button(IDC_REBOOT), &QAbstractButton::clicked, this, &CLanscoutDlg::OnReboot);
    connect(button(IDC_FACTORY_RESET), &QAbstractButton::clicked, this, &CLanscoutDlg::OnFactoryReset);
    connect(button(IDC_CHANGE_PASSWORD), &QAbstractButton::clicked, this, &CLanscoutDlg::OnChangePassword);
}

bool CLanscoutDlg::OnInitWindow()
{
    CFileVersion version;
    version.Load();
    setWindowTitle(QString::fromLatin1(kTitleFormat).arg(QString::fromLatin1(version.GetText())));
    m_editUserID->setText(QStringLiteral("admin"));
    setWindowIcon(m_hIcon);
    m_nColumnCount = 5;
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
    done(result == IDOK ? QDialog::Accepted : QDialog::Rejected);
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
        EndDialog(IDOK);
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

bool CLanscoutDlg::event(QEvent *event)
{
    if (event->type() == WM_UDP_RECEIVE) {
        OnUdpReceive();
        return true;
    }
    return QDialog::event(event);
}

void CLanscoutDlg::OnDestroyWindow()
{
    // The receive socket first: nothing may arrive while the search worker winds down.
    m_session.CloseReceiveSocket();
    StopSweep();
    ReportDroppedReplies();
    m_session.Close();
    m_pWaitDlg.reset();
}
