// Commands to cameras: network settings for the clicked camera, reboot and factory
// reset for the chosen ones. Each command is the camera's stored record with its type
// and credentials replaced, so it names the camera by the MAC the camera reported.
#include "app/LanscoutDlg.h"
#include "discovery/Discovery.h"
#include "discovery/UDPSocket.h"
#include "platform/Latin1Text.h"
#include "platform/MessageBox.h"

#include <QLineEdit>

#include <cstdio>

namespace {

constexpr std::chrono::milliseconds kCommandSpacing{10};


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

void CLanscoutDlg::FillCommandCredentials(DISCOVERY_DATA &record) const
{
    FillCredentialBlock(record, Latin1(m_editUserID->text()), Latin1(m_editPassword->text()));
}

std::string CLanscoutDlg::ChosenRowsText(std::int32_t type) const
{
    std::string text = type == DISCOVERY_REBOOT ? "Check the IP and MAC on \"Reboot\"\n\n"
                                                : "Check the IP and MAC on \"Factory Reset\"\n\n";
    for (int i = 0; i < RowCount(); ++i) {
        if (!IsChosen(GetCheckMark(i)))
            continue;
        DISCOVERY_DATA record;
        m_devices.GetAt(std::uint32_t(i), record);
        text += "IP : " + SlotText(record.szIP) + " / MAC : " + SlotText(record.szMAC) + "\n";
    }
    return text;
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
    if (!m_pSendSocket || !m_pSendSocket->IsOpen()) {
        ShowMessage("Failed to create send socket.");
        return;
    }
    if (type == DISCOVERY_SET_CONFIG) {
        DISCOVERY_DATA record;
        m_devices.GetAt(std::uint32_t(m_nSelectedIndex), record);
        record.nType = type;
        FillCommandCredentials(record);
        record.nIPMode = m_nIpMode;
        WriteSlotText(record.szDNS, Latin1(m_editDNS->text()), ADDRESS_MAX_CHARS);
        WriteSlotText(record.szGateway, Latin1(m_editGateway->text()), ADDRESS_MAX_CHARS);
        WriteSlotText(record.szSubnetMask, Latin1(m_editSubnetMask->text()), ADDRESS_MAX_CHARS);
        WriteSlotText(record.szIP, Latin1(m_editIP->text()), ADDRESS_MAX_CHARS);
        record.wHttpPort = std::uint16_t(m_nHttpPort);
        record.wDataPort = std::uint16_t(m_nDataPort);
        record.wRtspPort = std::uint16_t(m_nRtspPort);
        record.wAudioRecvPort = std::uint16_t(m_nAudioRxPort);
        record.wAudioSendPort = std::uint16_t(m_nAudioTxPort);
        record.bHttps = m_bHttps;
        g_strPendingMAC = g_strSelectedMAC;
        DISCOVERY_DATA stored;
        m_devices.GetAt(std::uint32_t(m_nSelectedIndex), stored);
        if (m_devices.SetAt(std::uint32_t(m_nSelectedIndex), record)) {
            m_listedDevices.Remove(stored);
            m_listedDevices.Add(record);
        }
        m_pSendSocket->EnableBroadcast();
        m_pSendSocket->SendRecord(record);
        return;
    }

    const int rows = RowCount();
    bool anyChosen = false;
    for (int i = 0; i < rows; ++i)
        anyChosen = anyChosen || IsChosen(GetCheckMark(i));
    if (!anyChosen) {
        ShowMessage("Not Checked");
        return;
    }
    if (ShowMessage(ChosenRowsText(type), MessageButtons::YesNo) != IDYES)
        return;
    for (int i = 0; i < rows; ++i) {
        if (!IsChosen(GetCheckMark(i)))
            continue;
        DISCOVERY_DATA record;
        m_devices.GetAt(std::uint32_t(i), record);
        record.nType = type;
        FillCommandCredentials(record);
        m_pSendSocket->EnableBroadcast();
        m_pSendSocket->SendRecord(record);
        std::this_thread::sleep_for(kCommandSpacing);
    }
}
