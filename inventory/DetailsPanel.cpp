// The details panel: the settings of the device clicked last.
#include "app/LanscoutDlg.h"
#include "platform/Latin1Text.h"

#include <QLineEdit>

std::string g_strSelectedMAC;

void CLanscoutDlg::SetAddressEditsEnabled(bool enabled)
{
    for (QLineEdit *edit : {m_editIP, m_editSubnetMask, m_editGateway, m_editDNS})
        edit->setEnabled(enabled);
}

void CLanscoutDlg::OnDeviceClick(int row)
{
    if (row < 0)
        return;
    m_nSelectedIndex = row;
    DISCOVERY_DATA record;
    m_devices.GetAt(std::uint32_t(row), record);
    m_nIpMode = record.nIPMode;
    m_editModelName->setText(Latin1(SlotText(record.szProductName)));
    m_editDeviceInfo->clear();
    m_editIP->setText(Latin1(SlotText(record.szIP)));
    m_editDNS->setText(Latin1(SlotText(record.szDNS)));
    m_editGateway->setText(Latin1(SlotText(record.szGateway)));
    m_editSubnetMask->setText(Latin1(SlotText(record.szSubnetMask)));
    SetAddressEditsEnabled(m_nIpMode == IP_MODE_STATIC);
    m_nHttpPort = record.wHttpPort;
    m_nDataPort = record.wDataPort;
    m_nRtspPort = record.wRtspPort;
    m_nAudioRxPort = record.wAudioRecvPort;
    m_nAudioTxPort = record.wAudioSendPort;
    m_bHttps = record.bHttps;
    g_strSelectedMAC = SlotText(record.szMAC);
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
