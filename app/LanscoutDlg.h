#pragma once
// The main window: the adapter selector, the device list, the details panel and the
// credentials; owner of the discovery session, the device list and the wait dialog.

#include "discovery/DiscoveryData.h"
#include "discovery/DiscoverySession.h"
#include "inventory/DeviceIndex.h"
#include "inventory/ListMox.h"

#include <QDialog>
#include <QIcon>

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CModalDlg;
class QComboBox;
class QLineEdit;
class QTableWidget;

enum ControlIds {
    IDC_SEARCH = 1000,
    IDC_DEVICE_LIST = 1001,
    IDC_HTTP_PORT = 1003,
    IDC_STATIC = 1006,
    IDC_DHCP = 1007,
    IDC_DATA_PORT = 1008,
    IDC_RTSP_PORT = 1009,
    IDC_AUDIO_TX_PORT = 1010,
    IDC_USER_ID = 1011,
    IDC_AUDIO_RX_PORT = 1012,
    IDC_PASSWORD = 1014,
    IDC_SAVE = 1015,
    IDC_REBOOT = 1016,
    IDC_SAVE_TO_VMS = 1017,
    IDC_FACTORY_RESET = 1018,
    IDC_CHANGE_PASSWORD = 1019,
    IDC_AUDIO_TX_LABEL = 1020,
    IDC_AUDIO_RX_LABEL = 1021,
    IDC_FILE_SAVE_LIST = 1022,
    IDC_IP = 1023,
    IDC_SUBNET_MASK = 1024,
    IDC_GATEWAY = 1025,
    IDC_DNS = 1026,
    IDC_MODEL_NAME = 1027,
    IDC_DEVICE_INFO = 1028,
    IDC_ADAPTER = 1029,
};

// Lists a discovery session's replies in the device list and its view.
class CLanscoutDlg final : public QDialog, private IDeviceListing {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CLanscoutDlg)

public:
    explicit CLanscoutDlg(QWidget *parent = nullptr);
    ~CLanscoutDlg() override;

    // Builds the window, initialises it and runs it; returns IDOK or IDCANCEL.
    int DoModal();
    // Builds and initialises the window without running it (tests show it themselves).
    bool Create();

    // Value exchange between members and controls; reading can fail.
    bool BindControls(bool read);

    // Device list view.
    void InitDeviceColumns();
    bool IsDeviceListed(const DISCOVERY_DATA &record) const override;
    void AddDeviceRow(const DISCOVERY_DATA &record);
    void OnColumnClick(int column);
    int SortDeviceList(int column, bool ascending);
    static int CompareSortKeys(const std::string &a, const std::string &b, bool ascending);
    // -1 never set, 0 unchecked, 1 checked.
    int GetCheckMark(int row) const;
    int RowCount() const;

    // Details panel.
    void OnDeviceClick(int row);
    void OnStaticMode();
    void OnDhcpMode();
    void ClearDetails();

    // Discovery.
    void CreateSockets();
    void OnSearch();
    static int SearchThreadProc(CLanscoutDlg *window);
    void RunSearchSweep();
    void EnableSearchControls(bool enable);
    int OnUdpReceive();
    void SendDeviceCommand(std::int32_t type);
    // True while a search worker has not yet finished.
    bool IsSweepRunning() const { return m_bSweepRunning; }

    // Device actions.
    void OnSave();
    void OnReboot();
    void OnFactoryReset();
    void OnChangePassword();
    bool ConfirmDefaultPassword();

    // Hand-over to the video management system.
    static void ClearSaveRequest();
    void OnSaveToHalvex();

    // Export and web page.
    void OnFileSaveList();
    void OnDeviceDblClick(int row, int column);

    QWidget *Control(int id) const;

    // Members shared by the window's operations.
    std::int32_t m_nIpMode = -1;
    std::int32_t m_bSortAscending = 0;
    std::int32_t m_bCheckAll = 0;
    std::int32_t m_nHttpPort = 0;
    std::int32_t m_nDataPort = 0;
    std::int32_t m_nRtspPort = 0;
    std::int32_t m_nAudioTxPort = 0;
    std::int32_t m_nAudioRxPort = 0;
    std::uint8_t m_bHttps = 0;
    QIcon m_hIcon;
    std::int32_t m_nSelectedIndex = -1;
    std::int32_t m_nColumnCount = 0;
    CListMox<DISCOVERY_DATA> m_devices;
    CDeviceIndex m_listedDevices; // beside m_devices, for the duplicate test
    QTableWidget *m_listDevices = nullptr;
    QLineEdit *m_editIP = nullptr;
    QLineEdit *m_editSubnetMask = nullptr;
    QLineEdit *m_editGateway = nullptr;
    QLineEdit *m_editDNS = nullptr;
    QLineEdit *m_editUserID = nullptr;
    QLineEdit *m_editPassword = nullptr;
    QLineEdit *m_editModelName = nullptr;
    QLineEdit *m_editDeviceInfo = nullptr;
    QComboBox *m_comboAdapter = nullptr;
    std::unique_ptr<CModalDlg> m_pWaitDlg;
    // The discovery sockets, the sweep's timing and its replies' rules.
    CDiscoverySession m_session{*this};

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    struct ActionTarget {
        std::string ip; // of the camera in the details panel
        std::string user;
        std::string password;
    };
    int SelectedRowCount() const;
    std::string ActionCameraIp() const;
    // The checks every device action starts with; false once the user was told why.
    bool CheckActionTarget(ActionTarget &target);
    // Runs the password dialog; password goes in as the current one and comes back
    // as the camera's password after the run.
    static int RunChangePasswordDialog(const std::string &ip, const std::string &user, std::string &password);
    // Makes the user replace a camera's factory password; the new one, or none when the
    // user did not change it. The edits then hold the factory user with it.
    std::optional<std::string> ForceNewPassword(const std::string &ip);

    bool OnInitWindow();
    void MakeMessageMap();
    void BindPortEdit(bool read, int id, std::int32_t &value, bool &ok);
    void FillAdapterList();
    void SetAddressEditsEnabled(bool enabled);
    void OnOK();
    void ShowWindowMenu(const QPoint &globalPos);
    void OnAbout();
    void OnDestroyWindow();
    void EndDialog(int result);

    // Runs fn on the window thread and waits for it, unless the window is closing.
    void CallOnWindowThread(const std::function<void()> &fn);
    void StopSweep();
    CommandLogin CommandCredentials() const;
    NetworkSettings PanelSettings() const;
    std::size_t ListedDeviceCount() const override;
    void ListDevice(const DISCOVERY_DATA &record) override;
    void ReportDroppedReplies();
    // The records of the rows that count as chosen, in row order.
    std::vector<DISCOVERY_DATA> ChosenRecords() const;

    bool m_bCreated = false;
    bool m_bEnded = false;

    std::thread m_searchThread;
    std::atomic<bool> m_bSweepRunning{false};
};

extern std::string g_strSelectedMAC;
