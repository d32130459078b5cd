#pragma once
// The window's Assign Addresses: a checked plan sent to its cameras with progress and a
// Cancel, then a search that verifies each camera, and each camera's verdict in the
// list's Status column. A camera that still takes the factory login is not addressed
// until its password is changed. Free of Qt: the ticks come through a timer seam, and
// whoever shows the progress subscribes to it.

#include "addressing/AddressBatch.h"
#include "inventory/DeviceList.h"
#include "platform/TickTimer.h"
#include "site/DeviceSearch.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Where a running batch stands.
struct BatchProgress {
    enum class Stage { Sending, Verifying, Done };
    Stage stage = Stage::Sending;
    std::size_t settled = 0; // commands answered or given up
    std::size_t total = 0;   // commands of the batch
    bool cancelled = false;
};

class CAssignAddresses final : public ISetConfigResultTaker {
public:
    // How often a running batch looks at its deadlines and at the verifying search.
    static constexpr std::chrono::milliseconds kTickInterval{100};

    using ProgressHandler = std::function<void(const BatchProgress &)>;

    CAssignAddresses(CDeviceSearch &search, CDeviceList &list, IUserInteraction &user, ITickTimer &timer);
    ~CAssignAddresses();
    CAssignAddresses(const CAssignAddresses &) = delete;
    CAssignAddresses &operator=(const CAssignAddresses &) = delete;

    // Starts the plan, which must have no problems, with the login typed: first the
    // cameras that still take the factory login are found, named to the user and offered
    // the forced change; those left on it are not sent anything. False, with the user
    // told why, when nothing was started.
    bool Apply(const CheckedPlan &plan, const CommandLogin &login);
    // Sends no further command; the verifying search still runs for those sent.
    void Cancel();
    bool IsRunning() const { return m_stage != BatchProgress::Stage::Done; }
    // Who shows the progress of a running batch; the stage Done comes once its report
    // is made. An empty handler shows it nowhere.
    void SetProgressHandler(ProgressHandler handler) { m_onProgress = std::move(handler); }
    // The cameras the list holds now, which plans are checked against.
    std::vector<Camera> ListedCameras() const { return m_list.Cameras(); }
    // Why no plan may be applied against the list the last search made, when its list
    // was full and left replies out.
    std::optional<std::string> SearchProblem() const { return IncompleteSearchProblem(m_search.DroppedReplies()); }
    // The last batch's report; empty before the first.
    const std::vector<PlanRowReport> &Report() const { return m_report; }

    // From the search: a set-configuration result came for this MAC. The batch takes it
    // only while one of its own commands awaits it.
    bool TakeSetConfigResult(const std::string &mac) override;

private:
    // The rows whose camera still takes the factory login, after the user was offered
    // the forced change: those that kept it stay out of the batch.
    std::vector<bool> CamerasToSend(const CheckedPlan &plan, std::vector<CommandLogin> &logins);
    void Tick();
    void ScheduleTick();
    void Advance();
    void StartVerifying();
    void Finish();
    void ShowProgress();

    CDeviceSearch &m_search;
    CDeviceList &m_list;
    IUserInteraction &m_user;
    ITickTimer &m_timer;
    ProgressHandler m_onProgress;
    BatchProgress::Stage m_stage = BatchProgress::Stage::Done;
    CheckedPlan m_plan;
    std::vector<std::size_t> m_sentRows; // the plan row of each command
    std::unique_ptr<CSettingsSender> m_pSender;
    std::vector<PlanRowReport> m_report;
};
