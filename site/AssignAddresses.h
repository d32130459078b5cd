#pragma once
// The window's Assign Addresses: a checked plan sent to its cameras with progress and a
// Cancel, then a search that verifies each camera. A camera that still takes the
// factory login is not addressed until its password is changed. Free of Qt: the window
// gives the display, tests script it.

#include "addressing/AddressBatch.h"
#include "site/DevicePanel.h"
#include "site/DeviceSearch.h"

#include <chrono>
#include <cstddef>
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

// What a running batch needs of the window.
class IBatchDisplay {
public:
    virtual void ShowBatchProgress(const BatchProgress &progress) = 0;
    // Calls CAssignAddresses::Tick after the delay, on the thread that handles datagrams.
    virtual void ScheduleBatchTick(std::chrono::milliseconds after) = 0;
    // The cameras the list holds now.
    virtual std::vector<DISCOVERY_DATA> ListedCameras() const = 0;
    // The batch is over: each camera's verdict, for the Status column.
    virtual void ShowBatchReport(const std::vector<PlanRowReport> &report) = 0;

protected:
    ~IBatchDisplay() = default;
};

class CAssignAddresses final : public ISetConfigResultTaker {
public:
    // How often a running batch looks at its deadlines and at the verifying search.
    static constexpr std::chrono::milliseconds kTickInterval{100};

    CAssignAddresses(CDeviceSearch &search, IDevicePanel &panel, IUserInteraction &user, IBatchDisplay &display);
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
    // Why no plan may be applied against the list the last search made, when its list
    // was full and left replies out.
    std::optional<std::string> SearchProblem() const { return IncompleteSearchProblem(m_search.DroppedReplies()); }
    void Tick();
    // The last batch's report; empty before the first.
    const std::vector<PlanRowReport> &Report() const { return m_report; }

    // From the search: a set-configuration result came for this MAC. The batch takes it
    // only while one of its own commands awaits it.
    bool TakeSetConfigResult(const std::string &mac) override;

private:
    // The rows whose camera still takes the factory login, after the user was offered
    // the forced change: those that kept it stay out of the batch.
    std::vector<bool> CamerasToSend(const CheckedPlan &plan, std::vector<CommandLogin> &logins);
    void Advance();
    void StartVerifying();
    void Finish();
    void ShowProgress();

    CDeviceSearch &m_search;
    IDevicePanel &m_panel;
    IUserInteraction &m_user;
    IBatchDisplay &m_display;
    BatchProgress::Stage m_stage = BatchProgress::Stage::Done;
    CheckedPlan m_plan;
    std::vector<std::size_t> m_sentRows; // the plan row of each command
    std::unique_ptr<CSettingsSender> m_pSender;
    std::vector<PlanRowReport> m_report;
};
