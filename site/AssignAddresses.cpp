#include "site/AssignAddresses.h"

#include "camapi/LoginCheck.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

// Cameras asked at once whether they take the factory login: a site's cameras answer
// in a second or two, and an unreachable one holds its asker for its whole timeout.
constexpr std::size_t kLoginAskers = 16;
// Cameras named in the factory-login question; the rest are counted.
constexpr std::size_t kNamedCameras = 10;

// For each camera, whether it still takes the factory login.
std::vector<bool> TakeFactoryLogin(const std::vector<Camera> &cameras)
{
    std::vector<char> takes(cameras.size(), 0); // not vector<bool>: each asker writes its own element
    std::atomic<std::size_t> next{0};
    const auto ask = [&] {
        for (std::size_t i = next++; i < cameras.size(); i = next++)
            takes[i] = AcceptsDefaultLogin(cameras[i].ip);
    };
    std::vector<std::thread> askers;
    for (std::size_t k = 0; k < std::min(kLoginAskers, cameras.size()); ++k)
        askers.emplace_back(ask);
    for (std::thread &asker : askers)
        asker.join();
    return {takes.begin(), takes.end()};
}

std::string FactoryLoginQuestion(const std::vector<Camera> &cameras)
{
    std::string text = std::to_string(cameras.size()) +
                       " of the cameras still take the factory login. They are not addressed until their "
                       "passwords are changed:\n";
    for (std::size_t i = 0; i < std::min(cameras.size(), kNamedCameras); ++i)
        text += cameras[i].mac + "  " + cameras[i].ip + "\n";
    if (cameras.size() > kNamedCameras)
        text += "and " + std::to_string(cameras.size() - kNamedCameras) + " more\n";
    return text + "\nChange their passwords now?";
}

} // namespace

CAssignAddresses::CAssignAddresses(CDeviceSearch &search, CDeviceList &list, IUserInteraction &user,
                                   ITickTimer &timer)
    : m_search(search), m_list(list), m_user(user), m_timer(timer)
{
    m_search.SetResultTaker(this);
}

CAssignAddresses::~CAssignAddresses()
{
    m_search.SetResultTaker(nullptr);
}

bool CAssignAddresses::Apply(const CheckedPlan &plan, const CommandLogin &login)
{
    if (IsRunning() || plan.rows.empty() || !plan.problems.empty())
        return false;
    if (login.userId.empty() || login.password.empty()) {
        m_user.ShowMessage("Please check UserID or Password.");
        return false;
    }
    // The last search had no adapter or could not bind: say so rather than pretend to send.
    if (!m_search.CanSend()) {
        m_user.ShowMessage("Failed to create send socket.");
        return false;
    }
    if (const std::optional<std::string> problem = SearchProblem()) {
        m_user.ShowMessage("Nothing was sent: " + *problem + ".");
        return false;
    }
    std::vector<CommandLogin> logins(plan.rows.size(), login);
    const std::vector<bool> toSend = CamerasToSend(plan, logins);
    std::vector<SettingsOrder> orders;
    m_sentRows.clear();
    for (std::size_t i = 0; i < plan.rows.size(); ++i)
        if (toSend[i]) {
            orders.push_back({plan.cameras[i], PlannedChange(plan.rows[i]), logins[i]});
            m_sentRows.push_back(i);
        }
    if (orders.empty()) {
        m_user.ShowMessage("No camera was sent anything.");
        return false;
    }
    m_plan = plan;
    m_report.clear();
    m_pSender = m_search.SendChanges(std::move(orders), kBatchConcurrency, kBatchResultTimeout);
    m_stage = BatchProgress::Stage::Sending;
    Advance();
    ScheduleTick();
    return true;
}

std::vector<bool> CAssignAddresses::CamerasToSend(const CheckedPlan &plan, std::vector<CommandLogin> &logins)
{
    std::vector<bool> factory;
    m_user.RunBusy([&] { factory = TakeFactoryLogin(plan.cameras); });
    std::vector<Camera> onFactoryLogin;
    for (std::size_t i = 0; i < plan.cameras.size(); ++i)
        if (factory[i])
            onFactoryLogin.push_back(plan.cameras[i]);
    std::vector<bool> send(factory.size());
    for (std::size_t i = 0; i < factory.size(); ++i)
        send[i] = !factory[i];
    if (onFactoryLogin.empty() ||
        m_user.ShowMessage(FactoryLoginQuestion(onFactoryLogin), MessageButtons::YesNo) != ANSWER_YES)
        return send;
    // The change is made for the factory user, so the command logs in as that user with
    // the password the camera took.
    for (std::size_t i = 0; i < factory.size(); ++i)
        if (factory[i]) {
            const std::optional<std::string> password =
                m_user.AskNewPassword(plan.cameras[i].ip, DEFAULT_USER_ID, DEFAULT_PASSWORD);
            send[i] = password.has_value();
            if (password)
                logins[i] = {DEFAULT_USER_ID, *password};
        }
    return send;
}

void CAssignAddresses::Cancel()
{
    if (m_stage != BatchProgress::Stage::Sending || m_pSender->Cancelled())
        return;
    m_pSender->Cancel();
    ShowProgress();
}

bool CAssignAddresses::TakeSetConfigResult(const std::string &mac)
{
    if (m_stage != BatchProgress::Stage::Sending || !m_pSender->Awaits(mac))
        return false;
    Advance();
    return true;
}

void CAssignAddresses::Tick()
{
    switch (m_stage) {
    case BatchProgress::Stage::Sending:
        Advance();
        if (m_pSender->Finished())
            StartVerifying();
        break;
    case BatchProgress::Stage::Verifying:
        if (!m_search.IsSearching())
            Finish();
        break;
    case BatchProgress::Stage::Done:
        return;
    }
    if (IsRunning())
        ScheduleTick();
}

// The batch lives as long as the timer's owner, which ends every call still pending.
void CAssignAddresses::ScheduleTick()
{
    m_timer.CallAfter(kTickInterval, [this] { Tick(); });
}

void CAssignAddresses::Advance()
{
    m_pSender->Advance();
    ShowProgress();
}

// The window's own search, which lists the cameras afresh: what they answer now is
// what they took.
void CAssignAddresses::StartVerifying()
{
    m_stage = BatchProgress::Stage::Verifying;
    ShowProgress();
    m_search.Search();
}

void CAssignAddresses::Finish()
{
    m_search.HandleWaitingDatagrams(); // replies of the sweep still queued count too
    std::vector<std::optional<std::int32_t>> results(m_plan.rows.size());
    std::vector<bool> sent(m_plan.rows.size(), false);
    for (std::size_t k = 0; k < m_sentRows.size(); ++k) {
        results[m_sentRows[k]] = m_pSender->Results()[k];
        sent[m_sentRows[k]] = m_pSender->Sent()[k];
    }
    m_report = Verdicts(m_plan, results, sent, m_list.Cameras());
    m_stage = BatchProgress::Stage::Done;
    m_list.ShowStatuses(m_report);
    ShowProgress();
}

void CAssignAddresses::ShowProgress()
{
    if (m_onProgress)
        m_onProgress({m_stage, m_pSender->Settled(), m_pSender->Count(), m_pSender->Cancelled()});
}
