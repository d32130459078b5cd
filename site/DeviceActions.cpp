#include "site/DeviceActions.h"

#include "camapi/LoginCheck.h"
#include "platform/Ipv4.h"

#include <algorithm>

namespace {

bool IsBlank(const std::string &text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

} // namespace

CDeviceActions::CDeviceActions(CDeviceSearch &search, ICameraChoice &choice, IDevicePanel &panel,
                               IUserInteraction &user)
    : m_search(search), m_choice(choice), m_panel(panel), m_user(user)
{
}

// The checks test the camera the command goes to: the one in the details panel, which
// keeps its camera when the keyboard moves the highlight. Its discovered address, not
// the IP edit, which may hold the new address the user means to give it. Empty without
// a highlighted row or a camera in the panel.
std::string CDeviceActions::ActionCameraIp() const
{
    const std::optional<Camera> camera = m_choice.PanelCamera();
    if (m_panel.HighlightedRows() == 0 || !camera)
        return {};
    return camera->ip;
}

bool CDeviceActions::CheckActionTarget(ActionTarget &target)
{
    if (m_panel.HighlightedRows() > 1) {
        m_user.ShowMessage("Please select only one device.");
        return false;
    }
    target.ip = ActionCameraIp();
    target.login = m_panel.Login();
    if (target.ip.empty()) {
        m_user.ShowMessage("Please select a device.");
        return false;
    }
    if (target.login.password.empty() || target.login.userId.empty()) {
        m_user.ShowMessage("Please check UserID or Password.");
        return false;
    }
    return true;
}

bool CDeviceActions::CheckLogin(const ActionTarget &target)
{
    LoginCheckResult check;
    m_user.RunBusy([&] { check = CheckLoginAndUpdateCodec(target.ip, target.login.userId, target.login.password); });
    if (!check)
        m_user.ShowMessage(LoginCheckMessage(check));
    return check.Passed();
}

bool CDeviceActions::ConfirmDefaultPassword()
{
    if (m_panel.HighlightedRows() > 1) {
        m_user.ShowMessage("Please select only one device.");
        return false;
    }
    const std::string ip = ActionCameraIp();
    if (ip.empty())
        return true;
    bool factoryLogin = false;
    m_user.RunBusy([&] { factoryLogin = AcceptsDefaultLogin(ip); });
    if (!factoryLogin)
        return true;
    return ForceNewPassword(m_user, m_panel, ip).has_value();
}

void CDeviceActions::Save()
{
    ActionTarget target;
    if (!CheckActionTarget(target) || !CheckLogin(target) || !ConfirmDefaultPassword())
        return;
    if (!SendDeviceCommand(DISCOVERY_SET_CONFIG))
        return;
    m_search.Search();
    m_panel.ClearPassword();
}

void CDeviceActions::Reboot()
{
    ActionTarget target;
    if (!CheckActionTarget(target) || !CheckLogin(target) || !ConfirmDefaultPassword())
        return;
    SendDeviceCommand(DISCOVERY_REBOOT);
}

// No login check over HTTP: a camera whose web side is lost can still be reset.
void CDeviceActions::FactoryReset()
{
    ActionTarget target;
    if (!CheckActionTarget(target) || !ConfirmDefaultPassword())
        return;
    SendDeviceCommand(DISCOVERY_FACTORY_RESET);
}

void CDeviceActions::ChangePassword()
{
    ActionTarget target;
    if (!CheckActionTarget(target) || !CheckLogin(target))
        return;
    if (m_user.AskNewPassword(target.ip, target.login.userId, target.login.password))
        m_panel.ClearPassword();
}

// Each command is the camera's stored record with its type and credentials replaced,
// so it names the camera by the MAC the camera reported.
bool CDeviceActions::SendDeviceCommand(std::int32_t type)
{
    if (type == DISCOVERY_SET_CONFIG && !m_choice.PanelCamera()) {
        m_user.ShowMessage("Not Selected");
        return true;
    }
    // A reboot or reset uses none of the settings: the read only tells of a bad port.
    const std::optional<NetworkSettings> settings = m_panel.ReadSettings();
    if (type == DISCOVERY_SET_CONFIG && (!settings || !ConfirmMask(*settings)))
        return false;
    const CommandLogin login = m_panel.Login();
    if (IsBlank(login.userId) || IsBlank(login.password)) {
        m_user.ShowMessage("Check the \"User ID\" and \"Password\"");
        return true;
    }
    // The last search had no adapter or could not bind: say so rather than pretend to send.
    if (!m_search.CanSend()) {
        m_user.ShowMessage("Failed to create send socket.");
        return true;
    }
    if (type == DISCOVERY_SET_CONFIG) {
        if (const std::optional<Camera> sent = m_search.SendSettings(*m_choice.PanelCamera(), *settings, login))
            m_choice.KeepSentSettings(*sent);
        return true;
    }
    const std::vector<Camera> chosen = m_choice.ChosenCameras();
    if (chosen.empty()) {
        m_user.ShowMessage("Not Checked");
        return true;
    }
    if (m_user.ShowMessage(ConfirmationText(type, chosen), MessageButtons::YesNo) != ANSWER_YES)
        return true;
    m_search.SendToEach(type, chosen, login);
    return true;
}

bool CDeviceActions::ConfirmMask(const NetworkSettings &settings)
{
    const std::optional<std::uint32_t> mask = ParseIpv4(settings.subnetMask);
    if (settings.ipMode != IP_MODE_STATIC || !mask || !LeavesNoNeighbour(*mask))
        return true;
    return m_user.ShowMessage("This mask leaves the camera no neighbour. Send anyway?", MessageButtons::YesNo) ==
           ANSWER_YES;
}
