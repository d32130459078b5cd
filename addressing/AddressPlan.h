#pragma once
// An address plan: a CSV file saying, per camera (by MAC), the address settings it is
// to take. A field left empty, or a column left out, keeps the camera's own value.
//
//   mac,ip,mask,gateway,dns,http_port,mode
//   00:1A:2B:3C:4D:5E,10.0.0.21,255.255.255.0,10.0.0.1,10.0.0.1,80,static
//
// Nothing of a plan may reach a camera while ParsePlan or CheckPlan finds a problem.

#include "camera/Camera.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

// A plan file larger than this is refused unread: a site's plan is a few kilobytes.
inline constexpr std::size_t kMaxPlanBytes = 16 * 1024 * 1024;
// The problems a plan lists at most; those found past them are counted on one last line.
inline constexpr std::size_t kMaxListedProblems = 1000;

struct PlanRow {
    int line = 0; // where the row starts in the file, from 1
    std::string mac;
    std::optional<std::string> ip, mask, gateway, dns;
    std::optional<std::uint16_t> httpPort;
    std::optional<std::int32_t> mode; // IP_MODE_STATIC or IP_MODE_DHCP
};

struct ParsedPlan {
    std::vector<PlanRow> rows;
    // The file's form, and the values a row cannot hold (http_port, mode); each names
    // its line. As CPlanProblems lists them.
    std::vector<std::string> problems;
};

// A plan's problems in the order found, each text once: the first kMaxListedProblems as
// they are, then one line "and N more" counting the others exactly.
class CPlanProblems final {
public:
    // A problem of the line; line 0 names none (the whole plan's, or a row from the
    // command line or the window's form, which its rows may share).
    void Add(int line, const std::string &text);
    // Whether a problem of the line needs its text: past the end of the list, one that
    // names its line is only counted (no two problems of a line read the same).
    bool NeedsText(int line) const;
    // Problems of a line past the end of the list, counted without their texts.
    void CountUnlisted(std::size_t count) { m_nUnlisted += count; }
    // The problems listed, then "and N more" when there were more.
    std::vector<std::string> Lines() const;

private:
    std::vector<std::string> m_listed;
    std::size_t m_nUnlisted = 0;
    std::unordered_set<std::string> m_seen; // the texts listed, and every one that names no line
};

// Reads the CSV text (RFC 4180 quoting, LF or CR LF, a UTF-8 byte order mark allowed,
// blank lines skipped). The first line names the columns. A plan names at most as many
// cameras as a search lists: the rows past them are read and refused, not kept.
ParsedPlan ParsePlan(std::string_view csvText);
// The plan's rows as ParsePlan reads them, each checked against the cameras that
// answered the search (as CheckPlan does) as soon as it is read: the problems of form
// and of the checks come in the order of their lines.
std::vector<PlanRow> ReadCheckedPlan(std::string_view csvText, const std::vector<Camera> &answered,
                                     CPlanProblems &problems);

// A row from named values (the plan's column names), for one camera given on the
// command line; a value a row cannot hold is a problem, naming no line.
PlanRow PlanRowFromFields(const std::vector<std::pair<std::string, std::string>> &fields,
                          std::vector<std::string> &problems);
// Every problem of the rows against each other and against the cameras that answered
// the search, each naming its line: malformed MACs and addresses, MACs and IPs planned
// twice, an IP another answering camera has, a MAC that did not answer or answered
// from two cameras, addresses planned for a camera that will be under DHCP, settings
// that would leave a static camera unreachable.
void CheckPlan(const std::vector<PlanRow> &rows, const std::vector<Camera> &answered,
               CPlanProblems &problems);
std::vector<std::string> CheckPlan(const std::vector<PlanRow> &rows, const std::vector<Camera> &answered);

// The MAC as six upper-case hex pairs joined by ':', or nothing when it is not six hex
// pairs separated all by ':' or all by '-'.
std::optional<std::string> NormalizedMac(std::string_view mac);
// The same MAC as its 48 bits, read without building a text: the key of MAC indexes.
std::optional<std::uint64_t> MacNumber(std::string_view mac);

// The camera as the row would leave it: its own settings with the planned ones put in.
Camera PlannedCamera(const PlanRow &row, Camera camera);
// What the row changes of its camera's settings: the planned fields, no others.
SettingsChange PlannedChange(const PlanRow &row);

// True when the reply comes from the row's camera and shows every planned field.
bool ReplyShowsPlan(const PlanRow &row, const Camera &reply);
