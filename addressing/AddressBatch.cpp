#include "addressing/AddressBatch.h"

#include "addressing/AddressCounter.h"
#include "camera/DeviceListing.h"
#include "discovery/DiscoveryData.h"
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
AddressSeries FormAddresses(const BatchForm &form, const std::vector<Camera> &chosen,
                            const std::vector<Camera> &answered)
{
    const std::optional<std::uint32_t> start = ParseIpv4(form.startIp);
    const std::optional<std::uint32_t> mask = ParseIpv4(form.mask);
    if (!start)
        return {{}, form.startIp.empty() ? "type the start address" : "the start address is no IPv4 address"};
    if (!mask || !IsContiguousMask(*mask))
        return {{}, "addresses are counted within the subnet mask, which must be a contiguous one"};
    std::set<std::uint32_t> taken;
    for (const Camera &camera : answered)
        if (const auto ip = ParseIpv4(camera.ip))
            taken.insert(*ip);
    std::vector<std::optional<std::uint32_t>> current;
    current.reserve(chosen.size());
    for (const Camera &camera : chosen)
        current.push_back(ParseIpv4(camera.ip));
    return CountAddresses(*start, *mask, chosen.size(), taken, current);
}

// What a set-configuration command can change, as two replies show it.
bool SameNetworkSettings(const Camera &a, const Camera &b)
{
    return a.ip == b.ip && a.subnetMask == b.subnetMask && a.gateway == b.gateway && a.dns == b.dns &&
           a.httpPort == b.httpPort && a.ipMode == b.ipMode;
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
                    const std::vector<Camera> &answered)
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

CCamerasByMac::CCamerasByMac(const std::vector<Camera> &cameras)
{
    m_cameras.reserve(cameras.size());
    for (const Camera &camera : cameras)
        if (const std::optional<std::uint64_t> mac = MacNumber(camera.mac))
            if (const auto [answers, first] = m_cameras.try_emplace(*mac, Answers{&camera, false}); !first)
                answers->second.differently |= !SameNetworkSettings(*answers->second.first, camera);
}

const CCamerasByMac::Answers *CCamerasByMac::AnswersOf(std::string_view mac) const
{
    const std::optional<std::uint64_t> number = MacNumber(mac);
    const auto found = number ? m_cameras.find(*number) : m_cameras.end();
    return found == m_cameras.end() ? nullptr : &found->second;
}

const Camera *CCamerasByMac::Find(std::string_view mac) const
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
                         const std::vector<Camera> &answered)
{
    CPlanProblems found;
    for (const std::string &problem : problems)
        found.Add(0, problem);
    CheckPlan(rows, answered, found);
    return Checked(std::move(rows), found, answered);
}

CheckedPlan PlanFromForm(const BatchForm &form, const std::vector<Camera> &chosen,
                         const std::vector<Camera> &answered)
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
        row.mac = chosen[i].mac;
        if (i < addresses.addresses.size())
            row.ip = FormatIpv4(addresses.addresses[i]);
        rows.push_back(std::move(row));
    }
    return CheckAgainst(std::move(rows), problems, answered);
}

CheckedPlan PlanFromCsv(std::string_view csvText, const std::vector<Camera> &answered)
{
    CPlanProblems problems;
    std::vector<PlanRow> rows = ReadCheckedPlan(csvText, answered, problems);
    return Checked(std::move(rows), problems, answered);
}

std::optional<std::string> IncompleteSearchProblem(std::uint64_t droppedReplies)
{
    if (droppedReplies == 0)
        return std::nullopt;
    return "the search's list was full at " + std::to_string(kMaxListedCameras) +
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
                                    const std::vector<bool> &sent, const std::vector<Camera> &listedAfter)
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
            const Camera *now = listed.Find(row.mac);
            verdict.outcome = now && ReplyShowsPlan(row, *now) ? PlanOutcome::Verified : PlanOutcome::NotVerified;
        }
        report.push_back(std::move(verdict));
    }
    return report;
}
