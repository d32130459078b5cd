#pragma once
// The window's search: its discovery session, the adapter its broadcasts leave from, the
// worker that runs each sweep, the replies and the awaited set-configuration results,
// and what the user is told of them. Free of Qt: the window shows it through
// ISearchDisplay.

#include "camera/CameraProvider.h"
#include "camera/DeviceListing.h"
#include "discovery/DiscoverySession.h"
#include "discovery/SettingsSender.h"
#include "platform/UserInteraction.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

// What a running search needs of the window.
class ISearchDisplay {
public:
    // Runs fn on the window's thread and returns once it has run.
    virtual void CallOnDisplayThread(const std::function<void()> &fn) = 0;
    // The "Please Wait..." box.
    virtual void ShowSearchWait(bool shown) = 0;
    // The controls a sweep locks.
    virtual void EnableSearchControls(bool enable) = 0;
    // Serves the window thread a moment while it waits for the worker to end.
    virtual void ServeDisplayThread() = 0;
    // A new search emptied the list: no camera is in the details panel, none is checked.
    virtual void ListEmptiedForSearch() = 0;

protected:
    ~ISearchDisplay() = default;
};

// Claims set-configuration results before the user is told of them: a batch takes
// those of its own commands.
class ISetConfigResultTaker {
public:
    // True when the result awaited under this MAC is the taker's, and it took it.
    virtual bool TakeSetConfigResult(const std::string &mac) = 0;

protected:
    ~ISetConfigResultTaker() = default;
};

class CDeviceSearch final {
public:
    CDeviceSearch(IDeviceListing &listing, ISearchDisplay &display, IUserInteraction &user,
                  ISweepClock &clock = SteadySweepClock());
    ~CDeviceSearch();
    CDeviceSearch(const CDeviceSearch &) = delete;
    CDeviceSearch &operator=(const CDeviceSearch &) = delete;

    // Opens the sockets; false, once the user was told why, when the program cannot work.
    // Each datagram the receiver is told of is handled as it is told.
    bool Open(std::unique_ptr<CDatagramSocket> receiver);
    // Another protocol's provider: its sweep runs beside the maker's in every search.
    void AddProvider(std::unique_ptr<ICameraProvider> provider) { m_providers.push_back(std::move(provider)); }
    // The adapter whose address the searches and commands leave from; none sends nothing.
    void ChooseAdapter(std::string address) { m_adapterAddress = std::move(address); }
    // A new search through the chosen adapter: the list emptied, then the sweep. False
    // while one runs, which keeps its list, socket and wait box.
    bool Search();
    // The first half of a search: false while one runs. Else replies count from now; the
    // caller empties its list and then runs RunSweepThrough.
    bool BeginSearch();
    // Sends the searches through the adapter's address on a worker of their own; with
    // no address they run their course sending nothing. An adapter that cannot be
    // bound ends the search at once.
    void RunSweepThrough(const std::string &adapterAddress);
    // True from BeginSearch until the worker has shown the window the end of the sweep.
    bool IsSearching() const { return m_searching; }

    // Handles one datagram of the reply port: lists a reply, gives the awaited result
    // of new settings to the taker or tells the user, or that the receive socket failed.
    void HandleDatagram();
    // Handles every datagram already waiting, without waiting for more.
    void HandleWaitingDatagrams();
    // The taker results are offered to first; null for none.
    void SetResultTaker(ISetConfigResultTaker *taker) { m_pResultTaker = taker; }
    // A batch's commands, sent through this search's session as the sender advances, on
    // the thread that handles the datagrams.
    std::unique_ptr<CSettingsSender> SendChanges(std::vector<SettingsOrder> orders, std::size_t concurrency,
                                                std::chrono::milliseconds timeout);

    bool CanSend() const { return m_session.CanSend(); }
    // Replies the running or last search left out because the list was full: its list
    // is not every camera that answered.
    std::uint64_t DroppedReplies() const { return m_session.DroppedReplies() + m_nProviderDropped; }
    // Sends new settings and awaits the camera's result under its MAC; the camera as the
    // command describes it, for the list to keep.
    std::optional<Camera> SendSettings(const Camera &camera, const NetworkSettings &settings,
                                       const CommandLogin &login);
    // Reboot or factory reset for each camera in turn.
    void SendToEach(std::int32_t type, const std::vector<Camera> &targets, const CommandLogin &login);

    // Ends the search at once and drops the sockets (the window closes).
    void Close();

private:
    void RunSweep(const std::string &adapterAddress);
    // The other protocols' sweeps, each on a thread of its own, until they end.
    void RunProviderSweeps(const std::string &adapterAddress);
    void ListFound(const Camera &camera);
    void CallOnDisplayThread(const std::function<void()> &fn);
    void StopSweep();
    void ReportDroppedReplies();

    IDeviceListing &m_listing;
    ISearchDisplay &m_display;
    IUserInteraction &m_user;
    CDiscoverySession m_session;
    std::string m_adapterAddress;
    std::vector<std::unique_ptr<ICameraProvider>> m_providers;
    std::uint64_t m_nProviderDropped = 0; // cameras left out at the list's ceiling
    std::thread m_worker;
    std::atomic<bool> m_searching{false};
    ISetConfigResultTaker *m_pResultTaker = nullptr;
};
