#include "addressing/AddressBatch.h"

#include "addressing/AddressCounter.h"
#include "platform/Csv.h"
#include "platform/Ipv4.h"

#include <algorithm>
#include <set>
#include <utility>

namespace {

// The values every camera of the form gets, as plan fields.
std::vector<std::pair<std::string, std::string>> SharedFields(const BatchForm &form)
{
    const bool dhcp = form.mode == IP_MODE_DHCP;
    std::vector<std::pair<std::string, std::string>> fields{{"mode", dhcp ? "dhcp" : "static"}};
    if (!dhcp)
        for (const auto &[name, value] : {std::pair{"mask", &form.mask}, {"gateway", &form.gateway}, {"dns", &form.dns}})
            if (!value->empty())
                fields.emplace_back(name, *value);
    if (!form.httpPort.empty())
        fields.emplace_back("http_port", form.httpPort);
    return fields;
}

// The addresses counted up from the form's start address, or a problem when the start
// or the mask cannot be counted from.
AddressSeries FormAddresses(const BatchForm &form, const std::vector<DISCOVERY_DATA> &chosen,
                            const std::vector<DISCOVERY_DATA> &answered)
{
    const std::optional<std::uint32_t> start = ParseIpv4(form.startIp);
    const std::optional<std::uint32_t> mask = ParseIpv4(form.mask);
    if (!start)
        return {{}, form.startIp.empty() ? "type the start address" : "the start address is no IPv4 address"};
    if (!mask || !IsContiguousMask(*mask))
        return {{}, "addresses are counted within the subnet mask, which must be a contiguous one"};
    std::set<std::uint32_t> taken;
    for (const DISCOVERY_DATA &camera : answered)
        if (const auto ip = ParseIpv4(SlotText(camera.szIP)))
            taken.insert(*ip);
    std::vector<std::optional<std::uint32_t>> current;
    current.reserve(chosen.size());
    for (const DISCOVERY_DATA &camera : chosen)
        current.push_back(ParseIpv4(SlotText(camera.szIP)));
    return CountAddresses(*start, *mask, chosen.size(), taken, current);
}

// What a set-configuration command can change, as two replies show it.
bool SameNetworkSettings(const DISCOVERY_DATA &a, const DISCOVERY_DATA &b)
{
    const auto same = [](const auto &x, const auto &y) { return SlotText(x) == SlotText(y); };
    return same(a.szIP, b.szIP) && same(a.szSubnetMask, b.szSubnetMask) && same(a.szGateway, b.szGateway) &&
           same(a.szDNS, b.szDNS) && a.wHttpPort == b.wHttpPort && a.nIPMode == b.nIPMode;
}

// "not verified (answered twice, differently)" from the outcome's own words.
std::string WithReason(std::string words, const PlanRowReport &row)
{
    const std::string reason = OutcomeReason(row);
    return reason.empty() ? words : words + " (" + reason + ")";
}

// The checked rows with the answering camera of each, when nothing keeps them from
// being sent.
CheckedPlan Checked(std::vector<PlanRow> rows, const CPlanProblems &problems,
                    const std::vector<DISCOVERY_DATA> &answered)
{
    CheckedPlan plan{std::move(rows), {}, problems.Lines()};
    if (!plan.problems.empty())
        return plan;
    const CCamerasByMac byMac(answered);
    plan.cameras.reserve(plan.rows.size());
    for (const PlanRow &row : plan.rows)
        plan.cameras.push_back(*byMac.Find(row.mac)); // the checks found each answering
    return plan;
}

} // namespace

CCamerasByMac::CCamerasByMac(const std::vector<DISCOVERY_DATA> &cameras)
{
    m_cameras.reserve(cameras.size());
    for (const DISCOVERY_DATA &camera : cameras)
        if (const std::optional<std::uint64_t> mac = MacNumber(SlotText(camera.szMAC)))
            if (const auto [answers, first] = m_cameras.try_emplace(*mac, Answers{&camera, false}); !first)
                answers->second.differently |= !SameNetworkSettings(*answers->second.first, camera);
}

const CCamerasByMac::Answers *CCamerasByMac::AnswersOf(std::string_view mac) const
{
    const std::optional<std::uint64_t> number = MacNumber(mac);
    const auto found = number ? m_cameras.find(*number) : m_cameras.end();
    return found == m_cameras.end() ? nullptr : &found->second;
}

const DISCOVERY_DATA *CCamerasByMac::Find(std::string_view mac) const
{
    const Answers *answers = AnswersOf(mac);
    return answers ? answers->first : nullptr;
}

bool CCamerasByMac::AnsweredDifferently(std::string_view mac) const
{
    const Answers *answers = AnswersOf(mac);
    return answers && answers->differently;
}

CheckedPlan CheckAgainst(std::vector<PlanRow> rows, const std::vector<std::string> &problems,
                         const std::vector<DISCOVERY_DATA> &answered)
{
    CPlanProblems found;
    for (const std::string &problem : problems)
        found.Add(0, problem);
    CheckPlan(rows, answered, found);
    return Checked(std::move(rows), found, answered);
}

CheckedPlan PlanFromForm(const BatchForm &form, const std::vector<DISCOVERY_DATA> &chosen,
                         const std::vector<DISCOVERY_DATA> &answered)
{
    std::vector<std::string> problems;
    const PlanRow shared = PlanRowFromFields(SharedFields(form), problems);
    AddressSeries addresses;
    if (form.mode != IP_MODE_DHCP)
        addresses = FormAddresses(form, chosen, answered);
    if (!addresses.problem.empty())
        problems.push_back(addresses.problem);
    std::vector<PlanRow> rows;
    rows.reserve(chosen.size());
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        PlanRow row = shared;
        row.mac = SlotText(chosen[i].szMAC);
        if (i < addresses.addresses.size())
            row.ip = FormatIpv4(addresses.addresses[i]);
        rows.push_back(std::move(row));
    }
    return CheckAgainst(std::move(rows), problems, answered);
}

CheckedPlan PlanFromCsv(std::string_view csvText, const std::vector<DISCOVERY_DATA> &answered)
{
    CPlanProblems problems;
    std::vector<PlanRow> rows = ReadCheckedPlan(csvText, answered, problems);
    return Checked(std::move(rows), problems, answered);
}

std::optional<std::string> IncompleteSearchProblem(std::uint64_t droppedReplies)
{
    if (droppedReplies == 0)
        return std::nullopt;
    return "the search's list was full at " + std::to_string(CDiscoverySession::kMaxListedDevices) +
           " cameras and left " + std::to_string(droppedReplies) +
           " replies out: the plan cannot be checked against the cameras it left out";
}

const char *OutcomeName(PlanOutcome outcome)
{
    switch (outcome) {
    case PlanOutcome::Verified: return "verified";
    case PlanOutcome::Rejected: return "rejected";
    case PlanOutcome::NoAnswer: return "no-answer";
    case PlanOutcome::NotVerified: return "not-verified";
    case PlanOutcome::NotSent: return "not-sent";
    }
    return "";
}

std::string OutcomeReason(const PlanRowReport &row)
{
    return row.outcome == PlanOutcome::NotVerified && row.answeredTwice ? "answered twice, differently" : "";
}

std::string OutcomeText(const PlanRowReport &row)
{
    std::string text = OutcomeName(row.outcome);
    if (row.outcome != PlanOutcome::Rejected)
        return WithReason(text, row);
    text += ": result " + std::to_string(row.result);
    if (const char *message = ResultMessage(row.result))
        text += std::string(" (") + message + ")";
    return text;
}

std::string OutcomeWords(PlanOutcome outcome)
{
    std::string words = OutcomeName(outcome);
    std::replace(words.begin(), words.end(), '-', ' ');
    return words;
}

std::string StatusText(const PlanRowReport &row)
{
    if (row.outcome != PlanOutcome::Rejected)
        return WithReason(OutcomeWords(row.outcome), row);
    const char *message = ResultMessage(row.result);
    return "rejected (" + (message ? std::string(message) : "result " + std::to_string(row.result)) + ")";
}

std::string PlanReportCsv(const std::vector<PlanRowReport> &rows)
{
    std::string csv = SpreadsheetCsvLine({"MAC", "IP", "OUTCOME"});
    for (const PlanRowReport &row : rows)
        csv += SpreadsheetCsvLine({row.mac, row.plannedIp.value_or(""), OutcomeText(row)});
    return csv;
}

std::vector<PlanRowReport> Verdicts(const CheckedPlan &plan, const std::vector<std::optional<std::int32_t>> &results,
                                    const std::vector<bool> &sent, const std::vector<DISCOVERY_DATA> &listedAfter)
{
    const CCamerasByMac listed(listedAfter);
    std::vector<PlanRowReport> report;
    for (std::size_t i = 0; i < plan.rows.size(); ++i) {
        const PlanRow &row = plan.rows[i];
        PlanRowReport verdict{NormalizedMac(row.mac).value_or(row.mac), row.ip, PlanOutcome::NotSent, 0};
        if (!sent[i])
            verdict.outcome = PlanOutcome::NotSent;
        else if (!results[i])
            verdict.outcome = PlanOutcome::NoAnswer;
        else if (*results[i] != 0)
            verdict = {verdict.mac, verdict.plannedIp, PlanOutcome::Rejected, *results[i]};
        else if (listed.AnsweredDifferently(row.mac)) {
            verdict.outcome = PlanOutcome::NotVerified;
            verdict.answeredTwice = true;
        } else {
            const DISCOVERY_DATA *now = listed.Find(row.mac);
            verdict.outcome = now && ReplyShowsPlan(row, *now) ? PlanOutcome::Verified : PlanOutcome::NotVerified;
        }
        report.push_back(std::move(verdict));
    }
    return report;
}

CSettingsSender::CSettingsSender(CDiscoverySession &session, std::vector<DISCOVERY_DATA> commands,
                                 std::size_t concurrency, std::chrono::milliseconds timeout)
    : m_session(session), m_commands(std::move(commands)), m_nConcurrency(std::max<std::size_t>(concurrency, 1)),
      m_timeout(timeout), m_results(m_commands.size()), m_sent(m_commands.size(), false)
{
}

void CSettingsSender::Advance(Clock::time_point now)
{
    TakeResults();
    GiveUpOverdue(now);
    SendWhileRoom(now);
}

bool CSettingsSender::Finished() const
{
    return m_waiting.empty() && (m_bCancelled || m_nNext == m_commands.size());
}

std::optional<CSettingsSender::Clock::time_point> CSettingsSender::NextDeadline() const
{
    const auto earliest = std::min_element(m_waiting.begin(), m_waiting.end(),
                                           [](const Waiting &a, const Waiting &b) { return a.deadline < b.deadline; });
    return earliest == m_waiting.end() ? std::nullopt : std::optional(earliest->deadline);
}

void CSettingsSender::TakeResults()
{
    m_nSettled += std::size_t(std::erase_if(m_waiting, [&](const Waiting &command) {
        m_results[command.index] = m_session.TakeSetConfigResult(command.mac);
        return m_results[command.index].has_value();
    }));
}

bool CSettingsSender::Awaits(const std::string &mac) const
{
    return std::any_of(m_waiting.begin(), m_waiting.end(), [&](const Waiting &command) { return command.mac == mac; });
}

void CSettingsSender::GiveUpOverdue(Clock::time_point now)
{
    m_nSettled += std::size_t(std::erase_if(m_waiting, [&](const Waiting &command) {
        if (command.deadline > now)
            return false;
        m_session.ForgetSetConfigResult(command.mac);
        return true;
    }));
}

void CSettingsSender::SendWhileRoom(Clock::time_point now)
{
    for (; !m_bCancelled && m_nNext < m_commands.size() && m_waiting.size() < m_nConcurrency; ++m_nNext) {
        const DISCOVERY_DATA &command = m_commands[m_nNext];
        m_sent[m_nNext] = m_session.SendSetConfig(command);
        if (m_sent[m_nNext])
            m_waiting.push_back({m_nNext, SlotText(command.szMAC), now + m_timeout});
        else
            ++m_nSettled; // never left: no answer can come
    }
}
