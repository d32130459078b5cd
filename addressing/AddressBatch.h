#pragma once
// A batch of new network settings for many cameras, as lanscout-cli's apply and the
// window's Assign Addresses run it: the plan checked against the cameras that answered,
// the commands sent with a bounded number awaiting their results, and each camera's
// verdict from the search after them. One library, so both give the same verdicts.

#include "addressing/AddressPlan.h"
#include "camera/Camera.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// How many commands may await their results at once, and how long each is awaited.
inline constexpr std::size_t kBatchConcurrency = 8;
inline constexpr std::chrono::seconds kBatchResultTimeout{10};

// The cameras by their MAC, looked up in any of its spellings; of two with one MAC, the
// first (the plan's checks name them). Holds pointers into the vector it was made of.
class CCamerasByMac final {
public:
    explicit CCamerasByMac(const std::vector<Camera> &cameras);
    // Null when no camera has that MAC.
    const Camera *Find(std::string_view mac) const;
    // Whether the MAC answered more than once with different network settings: then no
    // one answer tells what the camera took.
    bool AnsweredDifferently(std::string_view mac) const;

private:
    struct Answers {
        const Camera *first;
        bool differently;
    };
    const Answers *AnswersOf(std::string_view mac) const;

    std::unordered_map<std::uint64_t, Answers> m_cameras; // by MacNumber
};

// A plan with the answering camera of each row; sendable only while problems is empty.
struct CheckedPlan {
    std::vector<PlanRow> rows;
    std::vector<Camera> cameras; // the camera of each row, as it answered
    // Nothing of the plan may be sent while any is here; as CPlanProblems lists them.
    std::vector<std::string> problems;
};

// The rows checked against the cameras that answered, after the problems already found
// in them (the form's, say); a problem found twice is listed once.
CheckedPlan CheckAgainst(std::vector<PlanRow> rows, const std::vector<std::string> &problems,
                         const std::vector<Camera> &answered);

// The Assign Addresses dialog's values, as typed; an empty gateway, DNS or HTTP port
// keeps each camera's own.
struct BatchForm {
    std::string startIp, mask, gateway, dns, httpPort;
    std::int32_t mode = IP_MODE_STATIC; // IP_MODE_STATIC or IP_MODE_DHCP
};

// The plan the form makes for the chosen cameras, in their order: under static
// addressing each gets the next free address from the start address up (see
// AddressCounter.h); a camera the count reaches at its own address keeps it. Under DHCP
// only the mode and the HTTP port are planned. Checked like a file's plan.
CheckedPlan PlanFromForm(const BatchForm &form, const std::vector<Camera> &chosen,
                         const std::vector<Camera> &answered);

// A CSV plan file's text, parsed and checked row by row, the problems in the order of
// their lines.
CheckedPlan PlanFromCsv(std::string_view csvText, const std::vector<Camera> &answered);

// Plans are checked against every camera that answered the search. One whose list was
// full left replies out, so an address another camera has, or a MAC that answered twice,
// could go unseen: the problem that stops the plan, or nothing when none was left out.
std::optional<std::string> IncompleteSearchProblem(std::uint64_t droppedReplies);

// What became of one camera of a batch.
enum class PlanOutcome {
    Verified,    // the search after the command shows the planned settings
    Rejected,    // the camera refused the command; see result
    NoAnswer,    // no result came back for the command
    NotVerified, // accepted, but the search after it did not show the planned settings
    NotSent,     // the batch was cancelled, or the camera still took the factory login
};

struct PlanRowReport {
    std::string mac;
    std::optional<std::string> plannedIp; // nothing when the plan keeps the camera's IP
    PlanOutcome outcome = PlanOutcome::NoAnswer;
    std::int32_t result = 0; // the camera's nResult, for a rejected command
    // Not verified because the MAC answered the search after the commands more than
    // once, with different settings (a device copying the camera, or two with one MAC).
    bool answeredTwice = false;
};

// The outcome's name in lanscout-cli's reports: "verified", "no-answer", ...
const char *OutcomeName(PlanOutcome outcome);
// The report's OUTCOME cell: the name, and for a rejection the result and its message.
std::string OutcomeText(const PlanRowReport &row);
// Why a camera was not verified, when the outcome alone does not say: "answered twice,
// differently"; empty otherwise.
std::string OutcomeReason(const PlanRowReport &row);
// The outcome in words: "verified", "no answer", "not sent", ...
std::string OutcomeWords(PlanOutcome outcome);
// The window's Status cell: "verified", "rejected (Login failed)", "no answer",
// "not verified", "not verified (answered twice, differently)", "not sent".
std::string StatusText(const PlanRowReport &row);
// The report as CSV (MAC, IP, OUTCOME), every cell safe to open in a spreadsheet.
std::string PlanReportCsv(const std::vector<PlanRowReport> &rows);

// Each row's verdict: results[i] is what came back for row i (nothing: no answer),
// sent[i] whether its command left; listedAfter, the cameras of the search after the
// commands.
std::vector<PlanRowReport> Verdicts(const CheckedPlan &plan, const std::vector<std::optional<std::int32_t>> &results,
                                    const std::vector<bool> &sent, const std::vector<Camera> &listedAfter);
