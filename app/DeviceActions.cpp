// The buttons that act on one camera of the list: Save, Reboot, Factory Reset and
// Change Password. Each first checks the choice and the login, and a camera still on
// its factory password must get a new one before it is configured.
#include "app/Dialogs.h"
#include "app/LanscoutDlg.h"
#include "camapi/LoginCheck.h"
#include "platform/Latin1Text.h"
#include "platform/MessageBox.h"

#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableWidget>

int CLanscoutDlg::SelectedRowCount() const
{
    return int(m_listDevices->selectionModel()->selectedRows().size());
}

// The checks test the camera the command goes to: the one in the details panel, which
// keeps its camera when the keyboard moves the highlight. Its discovered address, not
// the IP edit, which may hold the new address the user means to give it. Empty without
// a highlighted row or a camera in the panel.
std::string CLanscoutDlg::ActionCameraIp() const
{
    DISCOVERY_DATA record;
    if (SelectedRowCount() == 0 || m_nSelectedIndex < 0 || !m_devices.GetAt(std::uint32_t(m_nSelectedIndex), record))
        return {};
    return SlotText(record.szIP);
}

bool CLanscoutDlg::CheckActionTarget(ActionTarget &target)
{
    if (SelectedRowCount() > 1) {
        ShowMessage("Please select only one device.");
        return false;
    }
    target.ip = ActionCameraIp();
    target.password = Latin1(m_editPassword->text());
    target.user = Latin1(m_editUserID->text());
    if (target.ip.empty()) {
        ShowMessage("Please select a device.");
        return false;
    }
    if (target.password.empty() || target.user.empty()) {
        ShowMessage("Please check UserID or Password.");
        return false;
    }
    return true;
}

int CLanscoutDlg::RunChangePasswordDialog(const std::string &ip, const std::string &user, std::string &password)
{
    CChangePwdDlg dialog;
    dialog.m_strIP = ip;
    dialog.m_strUserID = user;
    dialog.m_strPassword = password;
    const int result = dialog.exec();
    password = dialog.m_strPassword;
    return result;
}

bool CLanscoutDlg::ConfirmDefaultPassword()
{
    if (SelectedRowCount() > 1) {
        ShowMessage("Please select only one device.");
        return false;
    }
    const std::string ip = ActionCameraIp();
    if (!AcceptsDefaultLogin(ip) || ip.empty())
        return true;
    return ForceNewPassword(ip).has_value();
}

// The change is made for the factory user, so that user goes into the User ID edit
// with the new password: every later step, and any retry, logs in as that pair.
std::optional<std::string> CLanscoutDlg::ForceNewPassword(const std::string &ip)
{
    ShowMessage("Please change the default password.");
    std::string password = DEFAULT_PASSWORD;
    if (RunChangePasswordDialog(ip, DEFAULT_USER_ID, password) != CHANGE_PWD_DONE)
        return std::nullopt;
    m_editUserID->setText(QString::fromLatin1(DEFAULT_USER_ID));
    m_editPassword->setText(QString::fromLatin1(password.c_str()));
    return password;
}

void CLanscoutDlg::OnSave()
{
    ActionTarget target;
    if (!CheckActionTarget(target) || !CheckLoginAndUpdateCodec(target.ip, target.user, target.password, 1) ||
        !ConfirmDefaultPassword())
        return;
    SendDeviceCommand(DISCOVERY_SET_CONFIG);
    OnSearch();
    m_editPassword->clear();
}

void CLanscoutDlg::OnReboot()
{
    ActionTarget target;
    if (!CheckActionTarget(target) || !CheckLoginAndUpdateCodec(target.ip, target.user, target.password, 1) ||
        !ConfirmDefaultPassword())
        return;
    SendDeviceCommand(DISCOVERY_REBOOT);
}

// No login check over HTTP: a camera whose web side is lost can still be reset.
void CLanscoutDlg::OnFactoryReset()
{
    ActionTarget target;
    if (!CheckActionTarget(target) || !ConfirmDefaultPassword())
        return;
    SendDeviceCommand(DISCOVERY_FACTORY_RESET);
}

void CLanscoutDlg::OnChangePassword()
{
    ActionTarget target;
    if (!CheckActionTarget(target) || !CheckLoginAndUpdateCodec(target.ip, target.user, target.password, 1))
        return;
    if (RunChangePasswordDialog(target.ip, target.user, target.password) == CHANGE_PWD_DONE)
        m_editPassword->clear();
}
