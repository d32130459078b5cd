#include "addressing/AddressPlan.h"

#include "camera/DeviceListing.h"
#include "platform/Csv.h"
#include "platform/AsciiText.h"
#include "platform/Ipv4.h"

#include <charconv>
#include <functional>
#include <map>
#include <unordered_map>

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// A plan names at most the cameras one search can list; a longer one can never be sound.
constexpr std::size_t kMaxPlanRows = kMaxListedCameras;
// The addresses of the cameras that share a MAC, named in its problem; the rest are counted.
constexpr std::size_t kNamedAddresses = 10;

// The four address settings, with the column naming each and the camera's field for it.
struct AddressField {
    const char *column;
    std::optional<std::string> PlanRow::*planned;
    std::string Camera::*text;
    bool isMask;
};

constexpr AddressField kIpField{"ip", &PlanRow::ip, &Camera::ip, false};
constexpr AddressField kMaskField{"mask", &PlanRow::mask, &Camera::subnetMask, true};
constexpr AddressField kGatewayField{"gateway", &PlanRow::gateway, &Camera::gateway, false};
constexpr AddressField kDnsField{"dns", &PlanRow::dns, &Camera::dns, false};
constexpr AddressField kAddressFields[] = {kIpField, kMaskField, kGatewayField, kDnsField};

enum class ColumnKind { Mac, Address, HttpPort, Mode, Shown };

struct Column {
    ColumnKind kind;
    const AddressField *address = nullptr;
};

const char *const kColumnList = "mac, ip, mask, gateway, dns, http_port, mode";

// What a search lists but no command can change: a plan made from a search's CSV keeps
// these columns, and they are read past.
bool IsShownOnlyColumn(const std::string &name)
{
    return name == "model" || name == "firmware" || name == "https";
}

std::optional<Column> ColumnNamed(const std::string &name)
{
    if (IsShownOnlyColumn(name))
        return Column{ColumnKind::Shown};
    if (name == "mac")
        return Column{ColumnKind::Mac};
    if (name == "http_port")
        return Column{ColumnKind::HttpPort};
    if (name == "mode")
        return Column{ColumnKind::Mode};
    for (const AddressField &field : kAddressFields)
        if (name == field.column)
            return Column{ColumnKind::Address, &field};
    return std::nullopt;
}

// Line 0 is a row that came from the command line rather than a file.
std::string AtLine(int line, const std::string &text)
{
    return line > 0 ? "line " + std::to_string(line) + ": " + text : text;
}

// A decimal number of at most maxDigits digits, nothing else.
std::optional<unsigned> DecimalNumber(std::string_view text, std::size_t maxDigits)
{
    if (text.empty() || text.size() > maxDigits)
        return std::nullopt;
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<std::uint32_t> AddressOf(const AddressField &field, std::string_view text)
{
    const auto address = ParseIpv4(text);
    // A mask of nothing is read, for the check to say what it would do.
    if (!address || (field.isMask && *address != 0 && !IsContiguousMask(*address)))
        return std::nullopt;
    return address;
}

std::optional<std::uint16_t> PortNumber(std::string_view text)
{
    const auto value = DecimalNumber(text, 5);
    if (!value || *value < 1 || *value > 65535)
        return std::nullopt;
    return std::uint16_t(*value);
}

std::optional<std::int32_t> ModeNamed(std::string_view text)
{
    const std::string name = AsciiLower(text);
    if (name == "static")
        return IP_MODE_STATIC;
    if (name == "dhcp")
        return IP_MODE_DHCP;
    return std::nullopt;
}

// The columns the header names, in file order, with nothing for a column not known or
// named twice (its values are left out); nothing at all without a mac column.
std::optional<std::vector<std::optional<Column>>> ReadHeader(const CsvRecord &header, CPlanProblems &problems)
{
    if (!header.fault.empty()) {
        problems.Add(header.line, header.fault);
        return std::nullopt;
    }
    std::vector<std::optional<Column>> columns;
    std::map<std::string, bool> named;
    for (const std::string &field : header.fields) {
        const std::string name = AsciiLower(field);
        std::optional<Column> column = ColumnNamed(name);
        if (!column)
            problems.Add(header.line,
                         "unknown column " + QuotedForMessage(field) + " (the columns are " + kColumnList + ")");
        else if (named[name]) {
            problems.Add(header.line, "column " + QuotedForMessage(field) + " named twice");
            column.reset();
        }
        named[name] = true;
        columns.push_back(column);
    }
    if (named["mac"])
        return columns;
    problems.Add(header.line, "no mac column: the plan names each camera by its MAC");
    return std::nullopt;
}

void PutField(PlanRow &row, const Column &column, const std::string &value, CPlanProblems &problems)
{
    if (column.kind == ColumnKind::Mac) {
        row.mac = value;
        return;
    }
    if (value.empty())
        return;
    switch (column.kind) {
    case ColumnKind::Address: row.*column.address->planned = value; break;
    case ColumnKind::HttpPort:
        row.httpPort = PortNumber(value);
        if (!row.httpPort)
            problems.Add(row.line, "http_port " + QuotedForMessage(value) + " is not a number from 1 to 65535");
        break;
    case ColumnKind::Mode:
        row.mode = ModeNamed(value);
        if (!row.mode)
            problems.Add(row.line, "mode " + QuotedForMessage(value) + " is neither static nor dhcp");
        break;
    case ColumnKind::Mac:
    case ColumnKind::Shown: break;
    }
}

std::optional<PlanRow> ReadRow(const CsvRecord &record, const std::vector<std::optional<Column>> &columns,
                               CPlanProblems &problems)
{
    if (!record.fault.empty()) {
        problems.Add(record.line, record.fault);
        return std::nullopt;
    }
    if (record.fields.size() != columns.size()) {
        problems.Add(record.line, std::to_string(record.fields.size()) + " fields where the header has " +
                                      std::to_string(columns.size()));
        return std::nullopt;
    }
    PlanRow row;
    row.line = record.line;
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i])
            PutField(row, *columns[i], record.fields[i], problems);
    return row;
}

std::string_view WithoutByteOrderMark(std::string_view text)
{
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        text.remove_prefix(kByteOrderMark.size());
    return text;
}

// The plan's rows, read one at a time: a large file is never held twice. Problems of
// form go to the list as they are found.
class CPlanReader final {
public:
    CPlanReader(std::string_view csvText, CPlanProblems &problems)
        : m_csv(WithoutByteOrderMark(csvText)), m_problems(problems)
    {
        ReadColumns();
    }

    // The next row that could be read; nothing once the file is read.
    std::optional<PlanRow> Next()
    {
        CsvRecord record;
        while (m_columns && m_csv.Next(record)) {
            ++m_nRecords;
            if (std::optional<PlanRow> row = ReadRow(record, *m_columns, m_problems))
                return row;
        }
        if (m_columns && m_nRecords == 0)
            m_problems.Add(m_nHeaderLine, "the plan names no camera below its header");
        m_columns.reset();
        return std::nullopt;
    }

private:
    void ReadColumns()
    {
        CsvRecord header;
        if (!m_csv.Next(header)) {
            m_problems.Add(0, "the plan is empty: its first line names the columns (" + std::string(kColumnList) + ")");
            return;
        }
        m_nHeaderLine = header.line;
        m_columns = ReadHeader(header, m_problems);
    }

    CCsvReader m_csv;
    CPlanProblems &m_problems;
    std::optional<std::vector<std::optional<Column>>> m_columns; // nothing once no row can be read
    int m_nHeaderLine = 0;
    std::size_t m_nRecords = 0; // below the header
};

// Reads the plan, handing each row to `check` as it is read, and keeps the rows a
// plan may have.
std::vector<PlanRow> ReadPlanRows(std::string_view csvText, CPlanProblems &problems,
                                  const std::function<void(const PlanRow &)> &check)
{
    CPlanReader reader(csvText, problems);
    std::vector<PlanRow> rows;
    std::size_t read = 0;
    while (std::optional<PlanRow> row = reader.Next()) {
        check(*row);
        if (++read <= kMaxPlanRows)
            rows.push_back(std::move(*row));
        else if (read == kMaxPlanRows + 1)
            problems.Add(row->line, "the plan names more than " + std::to_string(kMaxPlanRows) +
                                        " cameras, more than a search lists");
    }
    return rows;
}

// --- Checks of the rows ---------------------------------------------------------

// A hex digit's value; -1 for any other character.
int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Six upper-case hex pairs joined by ':'.
std::string MacText(std::uint64_t number)
{
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(17, ':');
    for (std::size_t pair = 0; pair < 6; ++pair) {
        const auto byte = unsigned(number >> (40 - 8 * pair)) & 0xFF;
        text[3 * pair] = kDigits[byte >> 4];
        text[3 * pair + 1] = kDigits[byte & 0xF];
    }
    return text;
}

using CameraGroup = std::vector<const Camera *>;
const CameraGroup kNoCameras;

// The cameras that answered, by MAC (in any spelling) and by IP, each group in the
// order they answered: a row is checked without walking them all.
class CAnsweredIndex final {
public:
    explicit CAnsweredIndex(const std::vector<Camera> &answered)
    {
        for (const Camera &camera : answered) {
            const std::optional<std::uint64_t> mac = MacNumber(camera.mac);
            const std::optional<std::uint32_t> ip = ParseIpv4(camera.ip);
            if (mac)
                m_byMac[*mac].push_back(&camera);
            if (ip)
                m_byIp[*ip].push_back(&camera);
            if (mac && ip)
                ++m_macsAtIp[{*mac, *ip}];
        }
    }

    // No camera for a malformed MAC.
    const CameraGroup &WithMac(const std::optional<std::uint64_t> &mac) const
    {
        return mac ? Group(m_byMac, *mac) : kNoCameras;
    }
    const CameraGroup &AtIp(std::uint32_t ip) const { return Group(m_byIp, ip); }
    // How many of the cameras at the address have the MAC.
    std::size_t CountWithMacAt(std::uint64_t mac, std::uint32_t ip) const
    {
        const auto found = m_macsAtIp.find({mac, ip});
        return found == m_macsAtIp.end() ? 0 : found->second;
    }

private:
    template <typename Key>
    static const CameraGroup &Group(const std::unordered_map<Key, CameraGroup> &groups, Key key)
    {
        const auto found = groups.find(key);
        return found == groups.end() ? kNoCameras : found->second;
    }

    std::unordered_map<std::uint64_t, CameraGroup> m_byMac;
    std::unordered_map<std::uint32_t, CameraGroup> m_byIp;
    std::map<std::pair<std::uint64_t, std::uint32_t>, std::size_t> m_macsAtIp;
};

// "\"10.77.0.18\", \"10.77.0.19\"", naming the first few.
std::string AddressList(const CameraGroup &cameras)
{
    std::string list;
    for (std::size_t i = 0; i < cameras.size() && i < kNamedAddresses; ++i)
        list += (i ? ", " : "") + QuotedForMessage(cameras[i]->ip);
    if (cameras.size() > kNamedAddresses)
        list += " and " + std::to_string(cameras.size() - kNamedAddresses) + " more";
    return list;
}

void CheckFieldForms(const PlanRow &row, CPlanProblems &problems)
{
    if (!MacNumber(row.mac))
        problems.Add(row.line, "MAC " + QuotedForMessage(row.mac) + " is not six hex pairs separated by ':' or '-'");
    for (const AddressField &field : kAddressFields) {
        const std::optional<std::string> &planned = row.*field.planned;
        const char *const expected = field.isMask ? "a contiguous subnet mask" : "an IPv4 address";
        if (planned && !AddressOf(field, *planned))
            problems.Add(row.line, std::string(field.column) + " " + QuotedForMessage(*planned) + " is not " +
                                       expected + " in dotted quad form");
    }
}

// The mode the camera would end up in: the plan's, else the camera's own.
std::optional<std::int32_t> EndMode(const PlanRow &row, const Camera *camera)
{
    if (row.mode || !camera)
        return row.mode;
    return camera->ipMode;
}

// --- Settings that would cut a camera off --------------------------------------------

// An address setting as the camera would end up with it: the plan's, else the camera's
// own. A malformed planned value is a problem of its own, so it yields nothing here.
struct EndAddress {
    std::uint32_t value;
    bool planned;
};

std::optional<EndAddress> EndAddressOf(const AddressField &field, const PlanRow &row, const Camera *camera)
{
    if (const std::optional<std::string> &planned = row.*field.planned) {
        const auto value = AddressOf(field, *planned);
        return value ? std::optional<EndAddress>({*value, true}) : std::nullopt;
    }
    const auto own = camera ? ParseIpv4(camera->*field.text) : std::nullopt;
    return own ? std::optional<EndAddress>({*own, false}) : std::nullopt;
}

std::string Named(const AddressField &field, const EndAddress &address)
{
    return std::string(field.column) + " " + FormatIpv4(address.value) + (address.planned ? "" : " (the camera's own)");
}

std::string SubnetText(std::uint32_t ip, std::uint32_t mask)
{
    return FormatIpv4(ip & mask) + "/" + std::to_string(PrefixLength(mask));
}

// What no camera can be reached at, whatever its subnet; nullptr for an address a
// camera may have.
const char *UnreachableKind(std::uint32_t ip)
{
    if (ip == 0)
        return "is no address: the camera would have none";
    if (ip == 0xFFFFFFFFu)
        return "is the broadcast address of every network";
    if (ip >> 24 == 127)
        return "is a loopback address: the camera would answer only itself";
    if (ip >> 28 == 0xE)
        return "is a multicast address";
    if (ip >> 28 == 0xF)
        return "is a reserved address (240 and above)";
    return nullptr;
}

// The address of the subnet itself, or its broadcast, which no host may have.
const char *SubnetEndKind(std::uint32_t ip, std::uint32_t mask)
{
    const std::uint32_t host = ip & ~mask;
    if (host == 0)
        return "is the network address of";
    if (host == ~mask)
        return "is the broadcast address of";
    return nullptr;
}

// The plan, walked row by row, remembering what earlier rows claimed.
class CPlanChecker final {
public:
    CPlanChecker(const std::vector<Camera> &answered, CPlanProblems &problems)
        : m_answered(answered), m_problems(problems)
    {
    }

    void Check(const PlanRow &row)
    {
        CheckFieldForms(row, m_problems);
        const std::optional<std::uint64_t> mac = MacNumber(row.mac);
        const CameraGroup &cameras = m_answered.WithMac(mac);
        if (mac)
            CheckMac(row, *mac, cameras);
        if (const auto ip = row.ip ? ParseIpv4(*row.ip) : std::nullopt)
            CheckIp(row, *ip, mac);
        const Camera *camera = cameras.size() == 1 ? cameras.front() : nullptr;
        CheckModeTakesAddresses(row, camera);
        if (EndMode(row, camera) != IP_MODE_DHCP)
            CheckCameraStaysReachable(row, camera);
    }

private:
    void Report(const PlanRow &row, const std::string &text) { m_problems.Add(row.line, text); }

    void CheckMac(const PlanRow &row, std::uint64_t mac, const CameraGroup &cameras)
    {
        const std::string normal = MacText(mac);
        if (const auto [earlier, first] = m_macLines.try_emplace(mac, row.line); !first)
            Report(row, "MAC " + normal + " is planned on line " + std::to_string(earlier->second) + " already");
        if (cameras.empty())
            Report(row, "MAC " + normal + " did not answer the search");
        if (cameras.size() > 1)
            Report(row, "MAC " + normal + " answered from " + std::to_string(cameras.size()) + " cameras (" +
                            AddressList(cameras) + "): a command by MAC would reach them all");
    }

    // Each other camera at the address is a problem of its own; past the end of the
    // list they are only counted, so no row walks a crowd of them.
    void CheckIp(const PlanRow &row, std::uint32_t ip, const std::optional<std::uint64_t> &mac)
    {
        if (const auto [earlier, first] = m_ipLines.try_emplace(ip, row.line); !first)
            Report(row, "ip " + *row.ip + " is planned on line " + std::to_string(earlier->second) + " already");
        const CameraGroup &atIp = m_answered.AtIp(ip);
        const std::size_t others = atIp.size() - (mac ? m_answered.CountWithMacAt(*mac, ip) : 0);
        if (others == 0)
            return;
        if (!m_problems.NeedsText(row.line)) {
            m_problems.CountUnlisted(others);
            return;
        }
        for (const Camera *camera : atIp)
            if (!mac || MacNumber(camera->mac) != mac)
                Report(row, "ip " + *row.ip + " is the address of another camera that answered, MAC " +
                                QuotedForMessage(camera->mac));
    }

    // A camera under DHCP takes its addresses from the DHCP server, so planned ones
    // could never show in its replies.
    void CheckModeTakesAddresses(const PlanRow &row, const Camera *camera)
    {
        const bool addressesPlanned = row.ip || row.mask || row.gateway || row.dns;
        if (addressesPlanned && EndMode(row, camera) == IP_MODE_DHCP)
            Report(row, "addresses are planned for a camera under DHCP, which takes them from the DHCP server");
    }

    // A static camera keeps what it is sent, and one that cannot be reached at its
    // address cannot be sent anything else: its settings as they would end up are checked.
    void CheckCameraStaysReachable(const PlanRow &row, const Camera *camera)
    {
        const auto ip = EndAddressOf(kIpField, row, camera);
        const auto mask = EndAddressOf(kMaskField, row, camera);
        const auto gateway = EndAddressOf(kGatewayField, row, camera);
        const bool maskUsable = mask && CheckMask(row, *mask);
        const bool ipUsable = ip && CheckHostAddress(row, *ip, maskUsable ? mask : std::nullopt);
        if (ipUsable && maskUsable && gateway)
            CheckGateway(row, *gateway, ip->value, mask->value);
    }

    // True for a mask a subnet with room for the camera and a neighbour can be made of;
    // the address and the gateway are checked against no other.
    bool CheckMask(const PlanRow &row, const EndAddress &mask)
    {
        if (mask.value == 0) {
            Report(row, Named(kMaskField, mask) + " would make every address local: the camera could reach no router");
            return false;
        }
        if (!IsContiguousMask(mask.value)) {
            Report(row, Named(kMaskField, mask) + " is not a contiguous subnet mask");
            return false;
        }
        if (LeavesNoNeighbour(mask.value)) {
            Report(row, Named(kMaskField, mask) + " leaves the camera no neighbour: a subnet needs a prefix of /" +
                            std::to_string(kLongestCameraPrefix) + " or shorter");
            return false;
        }
        return true;
    }

    // True for an address a host may have; the gateway is checked against no other.
    bool CheckHostAddress(const PlanRow &row, const EndAddress &ip, const std::optional<EndAddress> &mask)
    {
        if (const char *kind = UnreachableKind(ip.value)) {
            Report(row, Named(kIpField, ip) + " " + kind);
            return false;
        }
        if (const char *end = mask ? SubnetEndKind(ip.value, mask->value) : nullptr) {
            Report(row, Named(kIpField, ip) + " " + end + " " + SubnetText(ip.value, mask->value));
            return false;
        }
        return true;
    }

    // 0.0.0.0 is no gateway at all, which leaves the camera its own subnet.
    void CheckGateway(const PlanRow &row, const EndAddress &gateway, std::uint32_t ip, std::uint32_t mask)
    {
        if (gateway.value != 0 && (gateway.value & mask) != (ip & mask))
            Report(row, Named(kGatewayField, gateway) + " is outside the camera's subnet " + SubnetText(ip, mask) +
                            ": the camera could not reach it");
    }

    const CAnsweredIndex m_answered;
    CPlanProblems &m_problems;
    // The first line that planned each MAC, and each IP.
    std::unordered_map<std::uint64_t, int> m_macLines;
    std::unordered_map<std::uint32_t, int> m_ipLines;
};

bool AddressesMatch(const AddressField &field, const std::string &planned, const Camera &reply)
{
    const auto shown = AddressOf(field, reply.*field.text);
    return shown && shown == AddressOf(field, planned);
}

} // namespace

void CPlanProblems::Add(int line, const std::string &text)
{
    if (!NeedsText(line)) {
        ++m_nUnlisted;
        return;
    }
    std::string problem = AtLine(line, text);
    if (m_seen.contains(problem))
        return;
    const bool listed = m_listed.size() < kMaxListedProblems;
    if (listed || line == 0)
        m_seen.insert(problem);
    if (listed)
        m_listed.push_back(std::move(problem));
    else
        ++m_nUnlisted;
}

// A problem that names no line may be one the form's rows share, which is listed once
// however late it comes.
bool CPlanProblems::NeedsText(int line) const
{
    return line == 0 || m_listed.size() < kMaxListedProblems;
}

std::vector<std::string> CPlanProblems::Lines() const
{
    std::vector<std::string> lines = m_listed;
    if (m_nUnlisted > 0)
        lines.push_back("and " + std::to_string(m_nUnlisted) + " more");
    return lines;
}

PlanRow PlanRowFromFields(const std::vector<std::pair<std::string, std::string>> &fields,
                          std::vector<std::string> &problems)
{
    PlanRow row; // line 0: its problems name no line
    CPlanProblems found;
    for (const auto &[name, value] : fields)
        if (const std::optional<Column> column = ColumnNamed(name))
            PutField(row, *column, value, found);
    for (std::string &problem : found.Lines())
        problems.push_back(std::move(problem));
    return row;
}

ParsedPlan ParsePlan(std::string_view csvText)
{
    CPlanProblems problems;
    std::vector<PlanRow> rows = ReadPlanRows(csvText, problems, [](const PlanRow &) {});
    return {std::move(rows), problems.Lines()};
}

std::vector<PlanRow> ReadCheckedPlan(std::string_view csvText, const std::vector<Camera> &answered,
                                     CPlanProblems &problems)
{
    CPlanChecker checker(answered, problems);
    return ReadPlanRows(csvText, problems, [&](const PlanRow &row) { checker.Check(row); });
}

void CheckPlan(const std::vector<PlanRow> &rows, const std::vector<Camera> &answered,
               CPlanProblems &problems)
{
    CPlanChecker checker(answered, problems);
    for (const PlanRow &row : rows)
        checker.Check(row);
}

std::vector<std::string> CheckPlan(const std::vector<PlanRow> &rows, const std::vector<Camera> &answered)
{
    CPlanProblems problems;
    CheckPlan(rows, answered, problems);
    return problems.Lines();
}

std::optional<std::uint64_t> MacNumber(std::string_view mac)
{
    constexpr std::size_t kLength = 17; // six pairs, five separators
    if (mac.size() != kLength || (mac[2] != ':' && mac[2] != '-'))
        return std::nullopt;
    std::uint64_t number = 0;
    for (std::size_t i = 0; i < kLength; ++i) {
        if (i % 3 == 2) {
            if (mac[i] != mac[2])
                return std::nullopt;
            continue;
        }
        const int digit = HexValue(mac[i]);
        if (digit < 0)
            return std::nullopt;
        number = number << 4 | std::uint64_t(digit);
    }
    return number;
}

std::optional<std::string> NormalizedMac(std::string_view mac)
{
    const std::optional<std::uint64_t> number = MacNumber(mac);
    return number ? std::optional(MacText(*number)) : std::nullopt;
}

Camera PlannedCamera(const PlanRow &row, Camera camera)
{
    for (const AddressField &field : kAddressFields)
        if (const std::optional<std::string> &planned = row.*field.planned)
            camera.*field.text = *planned;
    if (row.httpPort)
        camera.httpPort = *row.httpPort;
    if (row.mode)
        camera.ipMode = *row.mode;
    return camera;
}

SettingsChange PlannedChange(const PlanRow &row)
{
    return {row.ip, row.mask, row.gateway, row.dns, row.httpPort, row.mode};
}

bool ReplyShowsPlan(const PlanRow &row, const Camera &reply)
{
    const auto mac = MacNumber(row.mac);
    if (!mac || mac != MacNumber(reply.mac))
        return false;
    for (const AddressField &field : kAddressFields)
        if (const std::optional<std::string> &planned = row.*field.planned;
            planned && !AddressesMatch(field, *planned, reply))
            return false;
    return (!row.httpPort || *row.httpPort == reply.httpPort) && (!row.mode || *row.mode == reply.ipMode);
}
