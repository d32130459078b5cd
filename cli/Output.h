#pragma once
// What lanscout-cli prints: the cameras that answered, and how each row of an address
// plan went. Camera texts are Latin-1 bytes; table, CSV and JSON write them as UTF-8,
// txt as the bytes they are, since it is the window's own export file. Control bytes
// are \xHH in all but JSON, which has escapes of its own; a CSV cell that a spreadsheet
// would take for a formula starts with '.

#include "addressing/AddressBatch.h"
#include "discovery/DiscoveryData.h"
#include "discovery/DiscoverySession.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

enum class ListFormat { Table, Csv, Json, Txt };
enum class ReportFormat { Table, Json, Csv };

// The format a name on the command line stands for; nothing, with the reason in error,
// for a name that stands for none.
std::optional<ListFormat> ParseListFormat(std::string_view name, std::string &error);
std::optional<ReportFormat> ParseReportFormat(std::string_view name, std::string &error);

void WriteCameraList(std::ostream &out, const std::vector<Camera> &cameras, ListFormat format);

void WritePlanReport(std::ostream &out, const std::vector<PlanRowReport> &rows, ReportFormat format);

// The question asked on the terminal before a reboot or factory reset.
std::string TerminalConfirmation(std::int32_t type, const std::vector<Camera> &cameras);

// A camera as a message names it: its MAC and IP.
std::string CameraNamed(const Camera &camera);

// A line per camera of a reboot or factory reset: MAC, IP, and whether the command was sent.
void WriteSendReport(std::ostream &out, std::string_view command, const std::vector<Camera> &cameras,
                     const std::vector<UnsentCommand> &unsent);
