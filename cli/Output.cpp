#include "cli/Output.h"

#include "platform/Csv.h"
#include "platform/AsciiText.h"
#include "inventory/ExportFormat.h"

#include <algorithm>
#include <span>
#include <utility>

namespace {

template <typename Format>
using FormatName = std::pair<const char *, Format>;

constexpr FormatName<ListFormat> kListFormats[] = {
    {"table", ListFormat::Table}, {"csv", ListFormat::Csv}, {"json", ListFormat::Json}, {"txt", ListFormat::Txt}};
constexpr FormatName<ReportFormat> kReportFormats[] = {{"table", ReportFormat::Table},
                                                         {"json", ReportFormat::Json},
                                                         {"csv", ReportFormat::Csv}};

template <typename Format>
std::string NameList(std::span<const FormatName<Format>> formats)
{
    std::string list;
    for (std::size_t i = 0; i < formats.size(); ++i)
        list += (i == 0 ? "" : i + 1 == formats.size() ? " or " : ", ") + std::string(formats[i].first);
    return list;
}

template <typename Format>
std::optional<Format> FormatNamed(std::string_view name, std::span<const FormatName<Format>> formats,
                                  const char *what, std::string &error)
{
    for (const auto &[formatName, format] : formats)
        if (name == formatName)
            return format;
    error = "unknown " + std::string(what) + " format " + QuotedForMessage(name) + ": use " + NameList(formats);
    return std::nullopt;
}

// --- JSON ----------------------------------------------------------------------

void AppendJsonEscape(std::string &out, unsigned char byte)
{
    static const char kDigits[] = "0123456789abcdef";
    out += "\\u00";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
}

// A JSON string of Latin-1 bytes: valid UTF-8, control characters as \u00XX.
std::string JsonString(std::string_view latin1)
{
    std::string out = "\"";
    for (char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            out += std::string("\\") + c;
        else if (IsControlByte(byte))
            AppendJsonEscape(out, byte);
        else
            AppendLatin1AsUtf8(out, byte);
    }
    return out + "\"";
}

using JsonMember = std::pair<const char *, std::string>; // key, JSON value

std::string JsonObject(const std::vector<JsonMember> &members)
{
    std::string out = "{";
    for (const auto &[key, value] : members)
        out += (out.size() > 1 ? ", " : "") + JsonString(key) + ": " + value;
    return out + "}";
}

void WriteJsonArray(std::ostream &out, const std::vector<std::string> &objects)
{
    if (objects.empty()) {
        out << "[]\n";
        return;
    }
    out << "[\n";
    for (std::size_t i = 0; i < objects.size(); ++i)
        out << "  " << objects[i] << (i + 1 < objects.size() ? ",\n" : "\n");
    out << "]\n";
}

// --- Table ---------------------------------------------------------------------

// Columns as a terminal shows them: one place per character, not per UTF-8 byte.
std::size_t DisplayWidth(const std::string &utf8)
{
    return std::size_t(std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// Cells are Latin-1; each column as wide as its widest cell, two blanks between.
void WriteTable(std::ostream &out, const std::vector<std::vector<std::string>> &rows)
{
    std::vector<std::vector<std::string>> shown;
    std::vector<std::size_t> widths;
    for (const auto &row : rows) {
        auto &cells = shown.emplace_back();
        for (std::size_t i = 0; i < row.size(); ++i) {
            cells.push_back(ShownText(row[i], kTerminalTarget));
            widths.resize(std::max(widths.size(), i + 1));
            widths[i] = std::max(widths[i], DisplayWidth(cells.back()));
        }
    }
    for (const auto &cells : shown) {
        for (std::size_t i = 0; i + 1 < cells.size(); ++i)
            out << cells[i] << std::string(widths[i] - DisplayWidth(cells[i]) + 2, ' ');
        out << cells.back() << "\n";
    }
}

// --- The camera list -------------------------------------------------------------

template <auto Text>
std::string TextOf(const Camera &camera)
{
    return camera.*Text;
}

std::string ModeText(const Camera &camera)
{
    switch (camera.ipMode) {
    case IP_MODE_STATIC: return "static";
    case IP_MODE_DHCP: return "dhcp";
    default: return std::to_string(camera.ipMode);
    }
}

std::string HttpPortText(const Camera &camera)
{
    return std::to_string(camera.httpPort);
}

std::string HttpsText(const Camera &camera)
{
    return camera.https ? "yes" : "no";
}

template <auto Text>
std::string JsonStringOf(const Camera &camera)
{
    return JsonString(Text(camera));
}

std::string ModeJson(const Camera &camera)
{
    const bool named = camera.ipMode == IP_MODE_STATIC || camera.ipMode == IP_MODE_DHCP;
    return named ? JsonString(ModeText(camera)) : ModeText(camera);
}

std::string HttpsJson(const Camera &camera)
{
    return camera.https ? "true" : "false";
}

struct ListColumn {
    const char *heading; // the table's
    const char *key; // CSV's and JSON's
    std::string (*text)(const Camera &);
    std::string (*json)(const Camera &);
};

// A column showing a text as the camera sent it, a JSON string.
template <auto Text>
constexpr ListColumn TextColumn(const char *heading, const char *key)
{
    return {heading, key, TextOf<Text>, JsonStringOf<TextOf<Text>>};
}

constexpr ListColumn kListColumns[] = {
    TextColumn<&Camera::mac>("MAC", "mac"),
    TextColumn<&Camera::ip>("IP", "ip"),
    TextColumn<&Camera::product>("MODEL", "model"),
    TextColumn<&Camera::firmware>("FIRMWARE", "firmware"),
    {"MODE", "mode", ModeText, ModeJson},
    TextColumn<&Camera::subnetMask>("MASK", "mask"),
    TextColumn<&Camera::gateway>("GATEWAY", "gateway"),
    TextColumn<&Camera::dns>("DNS", "dns"),
    {"HTTP", "http_port", HttpPortText, HttpPortText},
    {"HTTPS", "https", HttpsText, HttpsJson},
};

void WriteListTable(std::ostream &out, const std::vector<Camera> &cameras)
{
    std::vector<std::vector<std::string>> rows(1);
    for (const ListColumn &column : kListColumns)
        rows.front().push_back(column.heading);
    for (const Camera &camera : cameras) {
        auto &row = rows.emplace_back();
        for (const ListColumn &column : kListColumns)
            row.push_back(column.text(camera));
    }
    WriteTable(out, rows);
}

void WriteListCsv(std::ostream &out, const std::vector<Camera> &cameras)
{
    std::vector<std::string> fields;
    for (const ListColumn &column : kListColumns)
        fields.push_back(column.key);
    out << SpreadsheetCsvLine(fields);
    for (const Camera &camera : cameras) {
        fields.clear();
        for (const ListColumn &column : kListColumns)
            fields.push_back(ShownText(column.text(camera), kCsvTarget));
        out << SpreadsheetCsvLine(fields);
    }
}

void WriteListJson(std::ostream &out, const std::vector<Camera> &cameras)
{
    std::vector<std::string> objects;
    for (const Camera &camera : cameras) {
        std::vector<JsonMember> members;
        for (const ListColumn &column : kListColumns)
            members.emplace_back(column.key, column.json(camera));
        objects.push_back(JsonObject(members));
    }
    WriteJsonArray(out, objects);
}

void WriteListTxt(std::ostream &out, const std::vector<Camera> &cameras)
{
    for (const Camera &camera : cameras)
        out << ExportLine(camera);
}

// --- Reboot and factory reset ------------------------------------------------------

std::string OnTerminal(const std::string &text)
{
    return ShownText(text, kTerminalTarget);
}

// --- The plan's report -----------------------------------------------------------

void WriteReportTable(std::ostream &out, const std::vector<PlanRowReport> &rows)
{
    std::vector<std::vector<std::string>> table = {{"MAC", "IP", "OUTCOME"}};
    for (const PlanRowReport &row : rows)
        table.push_back({row.mac, row.plannedIp.value_or("-"), OutcomeText(row)});
    WriteTable(out, table);
}

void WriteReportJson(std::ostream &out, const std::vector<PlanRowReport> &rows)
{
    std::vector<std::string> objects;
    for (const PlanRowReport &row : rows) {
        std::vector<JsonMember> members = {{"mac", JsonString(row.mac)},
                                           {"ip", row.plannedIp ? JsonString(*row.plannedIp) : "null"},
                                           {"outcome", JsonString(OutcomeName(row.outcome))}};
        if (const std::string reason = OutcomeReason(row); !reason.empty())
            members.emplace_back("reason", JsonString(reason));
        if (row.outcome == PlanOutcome::Rejected) {
            const char *message = ResultMessage(row.result);
            members.emplace_back("result", std::to_string(row.result));
            members.emplace_back("message", message ? JsonString(message) : "null");
        }
        objects.push_back(JsonObject(members));
    }
    WriteJsonArray(out, objects);
}

} // namespace

std::optional<ListFormat> ParseListFormat(std::string_view name, std::string &error)
{
    return FormatNamed<ListFormat>(name, kListFormats, "list", error);
}

std::optional<ReportFormat> ParseReportFormat(std::string_view name, std::string &error)
{
    return FormatNamed<ReportFormat>(name, kReportFormats, "report", error);
}

void WriteCameraList(std::ostream &out, const std::vector<Camera> &cameras, ListFormat format)
{
    switch (format) {
    case ListFormat::Table: WriteListTable(out, cameras); break;
    case ListFormat::Csv: WriteListCsv(out, cameras); break;
    case ListFormat::Json: WriteListJson(out, cameras); break;
    case ListFormat::Txt: WriteListTxt(out, cameras); break;
    }
}

void WritePlanReport(std::ostream &out, const std::vector<PlanRowReport> &rows, ReportFormat format)
{
    switch (format) {
    case ReportFormat::Table: WriteReportTable(out, rows); break;
    case ReportFormat::Json: WriteReportJson(out, rows); break;
    case ReportFormat::Csv: out << PlanReportCsv(rows); break;
    }
}

std::string TerminalConfirmation(std::int32_t type, const std::vector<Camera> &cameras)
{
    return ConfirmationText(type, cameras, [](std::string_view text) { return ShownText(text, kTerminalTarget); });
}

std::string CameraNamed(const Camera &camera)
{
    return OnTerminal(camera.mac) + " (" + OnTerminal(camera.ip) + ")";
}

void WriteSendReport(std::ostream &out, std::string_view command, const std::vector<Camera> &cameras,
                     const std::vector<UnsentCommand> &unsent)
{
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        const bool sent = std::none_of(unsent.begin(), unsent.end(),
                                       [i](const UnsentCommand &failure) { return failure.target == i; });
        out << OnTerminal(cameras[i].mac) << "\t" << OnTerminal(cameras[i].ip) << "\t" << command
            << (sent ? " sent\n" : " not sent\n");
    }
}
