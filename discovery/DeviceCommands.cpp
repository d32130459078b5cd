// Commands to cameras: network settings for the clicked camera, reboot and factory
// reset for the chosen ones. Each command is the camera's stored record with its type
// and credentials replaced, so it names the camera by the MAC the camera reported.
#include "app/LanscoutDlg.h"
#include "discovery/Discovery.h"
#include "platform/Latin1Text.h"
#include "platform/MessageBox.h"

#include <QLineEdit>

namespace {

std::string WithoutSpaces(std::string text)
{
    std::erase(text, ' ');
    return text;
}

// A row counts as chosen unless its mark reads "unchecked".
bool IsChosen(int checkMark)
{
    return checkMark != 0;
}

} // namespace

CommandLogin CLanscoutDlg::CommandCredentials() const
{
    return {Latin1(m_editUserID->text()), Latin1(m_editPassword->text())};
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

std::vector<DISCOVERY_DATA> CLanscoutDlg::ChosenRecords() const
{
    std::vector<DISCOVERY_DATA> chosen;
    for (int i = 0; i < RowCount(); ++i) {
        if (!IsChosen(GetCheckMark(i)))
            continue;
        DISCOVERY_DATA record;
        m_devices.GetAt(std::uint32_t(i), record);
        chosen.push_back(record);
    }
    return chosen;
}

void CLanscoutDlg::SendDeviceCommand(std::int32_t type)
{
    if (type == DISCOVERY_SET_CONFIG && m_nSelectedIndex < 0) {
        ShowMessage("Not Selected");
        return;
    }
    BindControls(true); // goes on whatever it reports
    if (WithoutSpaces(Latin1(m_editUserID->text())).empty() || WithoutSpaces(Latin1(m_editPassword->text())).empty()) {
        ShowMessage("Check the \"User ID\" and \"Password\"");
        return;
    }
    // The last search had no adapter or could not bind: say so rather than pretend to send.
    if (!m_session.CanSend()) {
        ShowMessage("Failed to create send socket.");
        return;
    }
    if (type == DISCOVERY_SET_CONFIG) {
        DISCOVERY_DATA stored;
        m_devices.GetAt(std::uint32_t(m_nSelectedIndex), stored);
        const DISCOVERY_DATA record = MakeSetConfigCommand(stored, PanelSettings(), CommandCredentials());
        g_strPendingMAC = g_strSelectedMAC;
        if (m_devices.SetAt(std::uint32_t(m_nSelectedIndex), record)) {
            m_listedDevices.Remove(stored);
            m_listedDevices.Add(record);
        }
        m_session.SendCommand(record);
        return;
    }

    const std::vector<DISCOVERY_DATA> chosen = ChosenRecords();
    if (chosen.empty()) {
        ShowMessage("Not Checked");
        return;
    }
    if (ShowMessage(ConfirmationText(type, chosen), MessageButtons::YesNo) != IDYES)
        return;
    m_session.SendToEach(type, chosen, CommandCredentials());
}
