#pragma once
// The main window: the adapter selector, the device list, the details panel and the
// credentials. A view over the site core it owns (site/SiteCore.h): it reads and fills
// its controls, forwards each control's message to the core, and shows what the core
// tells it.

#include "app/DeviceTableModel.h"
#include "app/Templates.h"
#include "app/UserFiles.h"
#include "platform/EventLoopTimer.h"
#include "platform/UserInteraction.h"
#include "site/SiteCore.h"

#include <QDialog>
#include <QIcon>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CModalDlg;
class QComboBox;
class QLineEdit;
class QTableView;

class CLanscoutDlg final : public QDialog,
                           private IUserInteraction,
                           private IDevicePanel,
                           private ISearchDisplay {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CLanscoutDlg)

public:
    // Hands cameras over to the store; askFile names the files the user picks (empty:
    // the system's file dialog).
    explicit CLanscoutDlg(const CHandOverStore &store, FileAsker askFile = {}, QWidget *parent = nullptr);
    ~CLanscoutDlg() override;

    // Builds the window, initialises it and runs it; returns ANSWER_OK or ANSWER_CANCEL.
    int DoModal();
    // Builds and initialises the window without running it (tests show it themselves).
    bool Create();

    QWidget *Control(int id) const;
    // True from a search's start until its sweep has ended and the window shows it.
    bool IsSearchRunning() const { return m_site.Search().IsSearching(); }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    // The window's message map: one operation a control's message.
    void OnSearch();
    void OnDeviceClick(int row);
    void OnSave();
    void OnStaticMode();
    void OnDhcpMode();
    void OnDeviceDblClick(int row, int column);
    void OnSaveToHalvex();
    void OnFileSaveList();
    void OnColumnClick(int column);
    void OnReboot();
    void OnFactoryReset();
    void OnChangePassword();
    void OnAssignAddresses();

    bool OnInitWindow();
    void MakeMessageMap();
    void CreateSockets();
    // Value exchange between members and controls; reading can fail.
    bool BindControls(bool read);
    void BindPortEdit(bool read, int id, std::int32_t &value, bool &ok);
    void InitDeviceColumns();
    void FillAdapterList();
    void OnAdapterChosen();
    void SetAddressEditsEnabled(bool enabled);
    // Assign Addresses needs checked cameras and a list no search is changing.
    void UpdateAssignButton();
    void ClearDetails();
    NetworkSettings PanelSettings() const;
    void OnOK();
    void ShowWindowMenu(const QPoint &globalPos);
    void OnAbout();
    void OnDestroyWindow();
    void EndDialog(int result);

    // How the parts talk to the user: the boxes and dialogs of this window.
    int ShowMessage(const std::string &text, MessageButtons buttons = MessageButtons::Ok,
                    MessageIcon icon = MessageIcon::Default) override;
    std::optional<std::string> AskNewPassword(const std::string &ip, const std::string &user,
                                              const std::string &password) override;
    void OpenWebPage(const std::string &url) override;
    void RunBusy(const std::function<void()> &work) override;

    // The details panel and the login edits, as the actions read them.
    CommandLogin Login() const override;
    void SetLogin(const CommandLogin &login) override;
    void ClearPassword() override;
    std::optional<NetworkSettings> ReadSettings() override;
    int HighlightedRows() const override;

    // What a running search shows.
    void CallOnDisplayThread(const std::function<void()> &fn) override;
    void ShowSearchWait(bool shown) override;
    void EnableSearchControls(bool enable) override;
    void ServeDisplayThread() override;
    void ListEmptiedForSearch() override;

    FileAsker m_askFile;
    CEventLoopTimer m_timer; // before the core, whose batch it ticks
    CSiteCore m_site;
    CDeviceTableModel m_deviceModel{m_site.Devices()};
    bool m_bSearchLocked = false;

    // The details panel's values between reading and writing its controls.
    std::int32_t m_nIpMode = -1;
    std::int32_t m_nHttpPort = 0;
    std::int32_t m_nDataPort = 0;
    std::int32_t m_nRtspPort = 0;
    std::int32_t m_nAudioTxPort = 0;
    std::int32_t m_nAudioRxPort = 0;
    std::uint8_t m_bHttps = 0;

    QIcon m_hIcon;
    QTableView *m_listDevices = nullptr;
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

    bool m_bCreated = false;
    bool m_bEnded = false;
};
