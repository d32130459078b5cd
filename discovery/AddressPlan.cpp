#include "discovery/AddressPlan.h"

#include "platform/Csv.h"
#include "platform/AsciiText.h"
#include "platform/Ipv4.h"

#include <charconv>
#include <map>

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// The longest prefix a camera's subnet may have: a /31 or /32 leaves it no neighbour,
// not even a gateway.
constexpr int kLongestPrefix = 30;

// The four address settings, with the column naming each and the record's slot for it.
struct AddressField {
    const char *column;
    std::optional<std::string> PlanRow::*planned;
    char (DISCOVERY_DATA::*slot)[32];
    bool isMask;
};

constexpr AddressField kIpField{"ip", &PlanRow::ip, &DISCOVERY_DATA::szIP, false};
constexpr AddressField kMaskField{"mask", &PlanRow::mask, &DISCOVERY_DATA::szSubnetMask, true};
constexpr AddressField kGatewayField{"gateway", &PlanRow::gateway, &DISCOVERY_DATA::szGateway, false};
constexpr AddressField kDnsField{"dns", &PlanRow::dns, &DISCOVERY_DATA::szDNS, false};
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
std::optional<std::vector<std::optional<Column>>> ReadHeader(const CsvRecord &header,
                                                             std::vector<std::string> &problems)
{
    if (!header.fault.empty()) {
        problems.push_back(AtLine(header.line, header.fault));
        return std::nullopt;
    }
    std::vector<std::optional<Column>> columns;
    std::map<std::string, bool> named;
    for (const std::string &field : header.fields) {
        const std::string name = AsciiLower(field);
        std::optional<Column> column = ColumnNamed(name);
        if (!column)
            problems.push_back(AtLine(header.line, "unknown column " + QuotedForMessage(field) + " (the columns are " +
                                                       kColumnList + ")"));
        else if (named[name]) {
            problems.push_back(AtLine(header.line, "column " + QuotedForMessage(field) + " named twice"));
            column.reset();
        }
        named[name] = true;
        columns.push_back(column);
    }
    if (named["mac"])
        return columns;
    problems.push_back(AtLine(header.line, "no mac column: the plan names each camera by its MAC"));
    return std::nullopt;
}

void PutField(PlanRow &row, const Column &column, const std::string &value, std::vector<std::string> &problems)
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
            problems.push_back(
                AtLine(row.line, "http_port " + QuotedForMessage(value) + " is not a number from 1 to 65535"));
        break;
    case ColumnKind::Mode:
        row.mode = ModeNamed(value);
        if (!row.mode)
            problems.push_back(AtLine(row.line, "mode " + QuotedForMessage(value) + " is neither static nor dhcp"));
        break;
    case ColumnKind::Mac:
    case ColumnKind::Shown: break;
    }
}

std::optional<PlanRow> ReadRow(const CsvRecord &record, const std::vector<std::optional<Column>> &columns,
                               std::vector<std::string> &problems)
{
    if (!record.fault.empty()) {
        problems.push_back(AtLine(record.line, record.fault));
        return std::nullopt;
    }
    if (record.fields.size() != columns.size()) {
        problems.push_back(AtLine(record.line, std::to_string(record.fields.size()) + " fields where the header has " +
                                                   std::to_string(columns.size())));
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

std::vector<CsvRecord> NonBlank(std::vector<CsvRecord> records)
{
    std::erase_if(records, [](const CsvRecord &record) { return record.blank; });
    return records;
}

// --- Checks of the rows ---------------------------------------------------------

std::optional<std::string> MacOf(const DISCOVERY_DATA &camera)
{
    return NormalizedMac(SlotText(camera.szMAC));
}

std::vector<const DISCOVERY_DATA *> CamerasWithMac(const std::string &mac, const std::vector<DISCOVERY_DATA> &answered)
{
    std::vector<const DISCOVERY_DATA *> cameras;
    for (const DISCOVERY_DATA &camera : answered)
        if (MacOf(camera) == mac)
            cameras.push_back(&camera);
    return cameras;
}

std::string AddressList(const std::vector<const DISCOVERY_DATA *> &cameras)
{
    std::string list;
    for (const DISCOVERY_DATA *camera : cameras)
        list += (list.empty() ? "" : ", ") + QuotedForMessage(SlotText(camera->szIP));
    return list;
}

void CheckFieldForms(const PlanRow &row, std::vector<std::string> &problems)
{
    if (!NormalizedMac(row.mac))
        problems.push_back(AtLine(row.line, "MAC " + QuotedForMessage(row.mac) +
                                                " is not six hex pairs separated by ':' or '-'"));
    for (const AddressField &field : kAddressFields) {
        const std::optional<std::string> &planned = row.*field.planned;
        const char *const expected = field.isMask ? "a contiguous subnet mask" : "an IPv4 address";
        if (planned && !AddressOf(field, *planned))
            problems.push_back(AtLine(row.line, std::string(field.column) + " " + QuotedForMessage(*planned) +
                                                    " is not " + expected + " in dotted quad form"));
    }
}

// The mode the camera would end up in: the plan's, else the camera's own.
std::optional<std::int32_t> EndMode(const PlanRow &row, const DISCOVERY_DATA *camera)
{
    if (row.mode || !camera)
        return row.mode;
    const std::int32_t mode = camera->nIPMode; // a copy: the record is packed
    return mode;
}

// --- Settings that would cut a camera off --------------------------------------------

// An address setting as the camera would end up with it: the plan's, else the camera's
// own. A malformed planned value is a problem of its own, so it yields nothing here.
struct EndAddress {
    std::uint32_t value;
    bool planned;
};

std::optional<EndAddress> EndAddressOf(const AddressField &field, const PlanRow &row, const DISCOVERY_DATA *camera)
{
    if (const std::optional<std::string> &planned = row.*field.planned) {
        const auto value = AddressOf(field, *planned);
        return value ? std::optional<EndAddress>({*value, true}) : std::nullopt;
    }
    const auto own = camera ? ParseIpv4(SlotText(camera->*field.slot)) : std::nullopt;
    return own ? std::optional<EndAddress>({*own, false}) : std::nullopt;
}

std::string Named(const AddressField &field, const EndAddress &address)
{
    return std::string(field.column) + " " + FormatIpv4(address.value) + (address.planned ? "" : " (the camera's own)");
}

int PrefixLength(std::uint32_t contiguousMask)
{
    int length = 0;
    for (std::uint32_t bit = 0x80000000u; bit & contiguousMask; bit >>= 1)
        ++length;
    return length;
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
class PlanChecker {
public:
    explicit PlanChecker(const std::vector<DISCOVERY_DATA> &answered) : m_answered(answered) {}

    void Check(const PlanRow &row)
    {
        CheckFieldForms(row, m_problems);
        const std::optional<std::string> mac = NormalizedMac(row.mac);
        std::vector<const DISCOVERY_DATA *> cameras;
        if (mac) {
            cameras = CamerasWithMac(*mac, m_answered);
            CheckMac(row, *mac, cameras);
        }
        if (const auto ip = row.ip ? ParseIpv4(*row.ip) : std::nullopt)
            CheckIp(row, *ip, mac);
        const DISCOVERY_DATA *camera = cameras.size() == 1 ? cameras.front() : nullptr;
        CheckModeTakesAddresses(row, camera);
        if (EndMode(row, camera) != IP_MODE_DHCP)
            CheckCameraStaysReachable(row, camera);
    }

    std::vector<std::string> TakeProblems() { return std::move(m_problems); }

private:
    void Report(const PlanRow &row, const std::string &text) { m_problems.push_back(AtLine(row.line, text)); }

    void CheckMac(const PlanRow &row, const std::string &mac, const std::vector<const DISCOVERY_DATA *> &cameras)
    {
        if (const auto [earlier, first] = m_macLines.try_emplace(mac, row.line); !first)
            Report(row, "MAC " + mac + " is planned on line " + std::to_string(earlier->second) + " already");
        if (cameras.empty())
            Report(row, "MAC " + mac + " did not answer the search");
        if (cameras.size() > 1)
            Report(row, "MAC " + mac + " answered from " + std::to_string(cameras.size()) + " cameras (" +
                            AddressList(cameras) + "): a command by MAC would reach them all");
    }

    void CheckIp(const PlanRow &row, std::uint32_t ip, const std::optional<std::string> &mac)
    {
        if (const auto [earlier, first] = m_ipLines.try_emplace(ip, row.line); !first)
            Report(row, "ip " + *row.ip + " is planned on line " + std::to_string(earlier->second) + " already");
        for (const DISCOVERY_DATA &camera : m_answered)
            if (ParseIpv4(SlotText(camera.szIP)) == ip && (!mac || MacOf(camera) != mac))
                Report(row, "ip " + *row.ip + " is the address of another camera that answered, MAC " +
                                QuotedForMessage(SlotText(camera.szMAC)));
    }

    // A camera under DHCP takes its addresses from the DHCP server, so planned ones
    // could never show in its replies.
    void CheckModeTakesAddresses(const PlanRow &row, const DISCOVERY_DATA *camera)
    {
        const bool addressesPlanned = row.ip || row.mask || row.gateway || row.dns;
        if (addressesPlanned && EndMode(row, camera) == IP_MODE_DHCP)
            Report(row, "addresses are planned for a camera under DHCP, which takes them from the DHCP server");
    }

    // A static camera keeps what it is sent, and one that cannot be reached at its
    // address cannot be sent anything else: its settings as they would end up are checked.
    void CheckCameraStaysReachable(const PlanRow &row, const DISCOVERY_DATA *camera)
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
        if (PrefixLength(mask.value) > kLongestPrefix) {
            Report(row, Named(kMaskField, mask) + " leaves the camera no neighbour: a subnet needs a prefix of /" +
                            std::to_string(kLongestPrefix) + " or shorter");
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

    const std::vector<DISCOVERY_DATA> &m_answered;
    std::map<std::string, int> m_macLines;
    std::map<std::uint32_t, int> m_ipLines;
    std::vector<std::string> m_problems;
};

bool AddressesMatch(const AddressField &field, const std::string &planned, const DISCOVERY_DATA &reply)
{
    const auto shown = AddressOf(field, SlotText(reply.*field.slot));
    return shown && shown == AddressOf(field, planned);
}

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

} // namespace

PlanRow PlanRowFromFields(const std::vector<std::pair<std::string, std::string>> &fields,
                          std::vector<std::string> &problems)
{
    PlanRow row; // line 0: its problems name no line
    for (const auto &[name, value] : fields)
        if (const std::optional<Column> column = ColumnNamed(name))
            PutField(row, *column, value, problems);
    return row;
}

ParsedPlan ParsePlan(std::string_view csvText)
{
    const std::vector<CsvRecord> records = NonBlank(ReadCsv(WithoutByteOrderMark(csvText)));
    ParsedPlan plan;
    if (records.empty()) {
        plan.problems.push_back("the plan is empty: its first line names the columns (" + std::string(kColumnList) +
                                ")");
        return plan;
    }
    const auto columns = ReadHeader(records.front(), plan.problems);
    if (!columns)
        return plan;
    for (auto record = records.begin() + 1; record != records.end(); ++record)
        if (auto row = ReadRow(*record, *columns, plan.problems))
            plan.rows.push_back(std::move(*row));
    if (records.size() == 1)
        plan.problems.push_back(AtLine(records.front().line, "the plan names no camera below its header"));
    return plan;
}

std::vector<std::string> CheckPlan(const std::vector<PlanRow> &rows, const std::vector<DISCOVERY_DATA> &answered)
{
    PlanChecker checker(answered);
    for (const PlanRow &row : rows)
        checker.Check(row);
    return checker.TakeProblems();
}

std::optional<std::string> NormalizedMac(std::string_view mac)
{
    constexpr std::size_t kLength = 17; // six pairs, five separators
    if (mac.size() != kLength || (mac[2] != ':' && mac[2] != '-'))
        return std::nullopt;
    std::string normal;
    for (std::size_t i = 0; i < kLength; ++i) {
        const bool separatorPlace = i % 3 == 2;
        if (separatorPlace ? mac[i] != mac[2] : !IsHexDigit(mac[i]))
            return std::nullopt;
        normal += separatorPlace ? ':' : mac[i];
    }
    return AsciiUpper(normal);
}

DISCOVERY_DATA PlannedSettings(const PlanRow &row, const DISCOVERY_DATA &reply)
{
    DISCOVERY_DATA settings = reply;
    for (const AddressField &field : kAddressFields)
        if (const std::optional<std::string> &planned = row.*field.planned)
            WriteSlotText(settings.*field.slot, *planned, ADDRESS_MAX_CHARS);
    if (row.httpPort)
        settings.wHttpPort = *row.httpPort;
    if (row.mode)
        settings.nIPMode = *row.mode;
    return settings;
}

bool ReplyShowsPlan(const PlanRow &row, const DISCOVERY_DATA &reply)
{
    const auto mac = NormalizedMac(row.mac);
    if (!mac || mac != MacOf(reply))
        return false;
    for (const AddressField &field : kAddressFields)
        if (const std::optional<std::string> &planned = row.*field.planned;
            planned && !AddressesMatch(field, *planned, reply))
            return false;
    return (!row.httpPort || *row.httpPort == reply.wHttpPort) && (!row.mode || *row.mode == reply.nIPMode);
}
