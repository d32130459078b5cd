#include "cli/Commands.h"

#include "camapi/PasswordChange.h"
#include "camapi/LoginCheck.h"
#include "camapi/VideoConfig.h"
#include "cli/Console.h"
#include "cli/ExitStatus.h"
#include "platform/InputFile.h"
#include "cli/Options.h"
#include "cli/Output.h"
#include "addressing/AddressPlan.h"
#include "cli/Secrets.h"
#include "cli/Site.h"
#include "platform/Adapters.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>

namespace {

// ---- Usage texts

constexpr const char *kAdaptersUsage = "Usage: lanscout-cli adapters\n"
                                       "Lists the network adapters with an IPv4 address, one a line: name, a tab, the\n"
                                       "address. The first is the one searches use unless --adapter names another.\n";

constexpr const char *kSearchUsage =
    "Usage: lanscout-cli search [--adapter NAME|ADDRESS] [--format table|csv|json|txt]\n"
    "Searches the network once (five searches a second apart) and lists the cameras that\n"
    "answered, first to answer first: MAC, IP, model, firmware, mode, mask, gateway, DNS,\n"
    "HTTP port, HTTPS. txt is the window's export format (SearchIPList.txt).\n";

constexpr const char *kSetUsage =
    "Usage: lanscout-cli set MAC [--ip A] [--mask M] [--gateway G] [--dns D] [--dhcp|--static]\n"
    "                           [--http-port P] --user U [--password-file F] [--adapter NAME|ADDRESS]\n"
    "                           [--timeout SECONDS] [--format table|json|csv]\n"
    "Gives the camera new network settings: settings not given stay as the camera has them.\n"
    "Searches, sends the command, reports the camera's result (the exit status is the\n"
    "result: 1 failed, 2 invalid address, 3 invalid port, 4 invalid config, 5 login\n"
    "failed), then searches again: exit 0 only when the camera answers with the new settings.\n";

constexpr const char *kApplyUsage =
    "Usage: lanscout-cli apply PLAN.csv --user U [--password-file F] [--dry-run]\n"
    "                          [--concurrency K] [--timeout SECONDS] [--format table|json|csv]\n"
    "                          [--adapter NAME|ADDRESS]\n"
    "Gives every camera of the plan its settings. The plan's first line names the columns:\n"
    "mac, ip, mask, gateway, dns, http_port, mode (static or dhcp); an empty field keeps the\n"
    "camera's value. The whole plan is checked against the cameras that answer a search\n"
    "before anything is sent; with problems, all are listed and nothing is sent. At most K\n"
    "commands (8) wait for their results at once. A last search verifies every camera; the\n"
    "report says per camera: verified, rejected, no-answer or not-verified. Exit 0 only when\n"
    "every row is verified. --dry-run checks the plan and shows what would be sent.\n";

constexpr const char *kRebootUsage = "Usage: lanscout-cli reboot MAC... --user U [--password-file F] [--yes]\n"
                                     "                           [--adapter NAME|ADDRESS]\n"
                                     "Reboots the cameras, after a confirmation on the terminal unless --yes.\n";

constexpr const char *kFactoryResetUsage =
    "Usage: lanscout-cli factory-reset MAC... --user U [--password-file F] [--yes]\n"
    "                                  [--adapter NAME|ADDRESS]\n"
    "Resets the cameras to their factory settings and login, after a confirmation on the\n"
    "terminal unless --yes.\n";

constexpr const char *kPasswordUsage =
    "Usage: lanscout-cli password IP --user U [--password-file F] [--new-password-file F]\n"
    "Gives the user a new password on the camera's web interface (8 to 30 characters,\n"
    "asked twice on the terminal unless read from a file), then logs in with it to verify.\n";

constexpr const char *kCheckUsage =
    "Usage: lanscout-cli check IP --user U [--password-file F]\n"
    "Logs in to the camera's web interface and switches every channel on codec 3 to codec 1,\n"
    "as the window does before it saves a camera.\n";

constexpr const char *kPasswordSources =
    "The camera's password comes from --password-file F (its first line), else from the\n"
    "environment variable LANSCOUT_PASSWORD, else it is asked on the terminal without echo.\n";

// ---- Command lines

const OptionRule kHelp{"help", false};
const OptionRule kAdapter{"adapter", true};
const OptionRule kUser{"user", true};
const OptionRule kPasswordFile{"password-file", true};
const OptionRule kTimeout{"timeout", true};
const OptionRule kFormat{"format", true};

void PrintUsage(std::FILE *stream, const char *usage, bool withPasswords)
{
    std::fputs(usage, stream);
    if (withPasswords)
        std::fputs(kPasswordSources, stream);
}

int UsageError(const char *command, const std::string &error, const char *usage)
{
    std::fprintf(stderr, "lanscout-cli %s: %s\n", command, error.c_str());
    std::fputs(usage, stderr);
    return kExitUsage;
}

// The command's options; an exit status when the run ends here (--help, a bad line).
struct CommandLine {
    ParsedOptions options;
    std::optional<int> exitStatus;
};

CommandLine ReadCommandLine(const char *command, const char *usage, const Arguments &args,
                            std::vector<OptionRule> rules, std::size_t minPositional, std::size_t maxPositional)
{
    rules.push_back(kHelp);
    std::string error;
    std::optional<ParsedOptions> parsed = ParseOptions(args, rules, error);
    if (!parsed)
        return {{}, UsageError(command, error, usage)};
    const bool asksForPasswords =
        std::any_of(rules.begin(), rules.end(), [](const OptionRule &rule) { return rule.name == kUser.name; });
    if (parsed->flags.count(kHelp.name)) {
        PrintUsage(stdout, usage, asksForPasswords);
        return {{}, kExitOk};
    }
    const std::size_t count = parsed->positional.size();
    if (count < minPositional || count > maxPositional)
        return {{}, UsageError(command, count < minPositional ? "missing argument" : "too many arguments", usage)};
    if (asksForPasswords && !parsed->Value(kUser.name) && !parsed->flags.count("dry-run"))
        return {{}, UsageError(command, "--user is required", usage)};
    return {std::move(*parsed), std::nullopt};
}

// A whole number from lowest to highest, or the default when the option is not given.
std::optional<unsigned> NumberOption(const ParsedOptions &options, const std::string &name, unsigned byDefault,
                                     unsigned lowest, unsigned highest, const std::string &meaning,
                                     std::string &error)
{
    const std::optional<std::string> text = options.Value(name);
    if (!text)
        return byDefault;
    unsigned value = 0;
    const auto [end, fault] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (fault != std::errc() || end != text->data() + text->size() || value < lowest || value > highest) {
        error = "--" + name + " takes " + meaning + " from " + std::to_string(lowest) + " to " +
                std::to_string(highest);
        return std::nullopt;
    }
    return value;
}

std::optional<std::chrono::milliseconds> ResultTimeout(const ParsedOptions &options, std::string &error)
{
    const std::optional<unsigned> seconds =
        NumberOption(options, kTimeout.name, unsigned(kBatchResultTimeout.count()), 1, 600, "a number of seconds", error);
    return seconds ? std::optional<std::chrono::milliseconds>(std::chrono::seconds(*seconds)) : std::nullopt;
}

// How a change is reported and how long a camera's result is awaited.
struct ChangeOptions {
    ReportFormat format;
    std::chrono::milliseconds timeout;
};

std::optional<ChangeOptions> ReadChangeOptions(const ParsedOptions &options, std::string &error)
{
    const std::optional<ReportFormat> format = ParseReportFormat(options.Value(kFormat.name).value_or("table"), error);
    const std::optional<std::chrono::milliseconds> timeout = format ? ResultTimeout(options, error) : std::nullopt;
    if (!format || !timeout)
        return std::nullopt;
    return ChangeOptions{*format, *timeout};
}

// The login commands carry; an exit status when the password cannot be had.
std::optional<int> ObtainLogin(const ParsedOptions &options, const std::string &where, CommandLogin &login)
{
    login.userId = *options.Value(kUser.name);
    const Secret secret = ObtainPassword(options.Value(kPasswordFile.name),
                                         "Password of " + login.userId + (where.empty() ? "" : " on " + where) + ": ");
    if (!secret.value) {
        std::fprintf(stderr, "lanscout-cli: %s\n", secret.error.c_str());
        return kExitUnreadableInput;
    }
    login.password = *secret.value;
    return std::nullopt;
}

// Opens the site on the chosen adapter and searches it once; an exit status when the
// sockets cannot be had.
std::optional<int> SearchSite(CSite &site, const ParsedOptions &options)
{
    if (const int status = site.Open(options.Value(kAdapter.name)))
        return status;
    site.Sweep();
    return std::nullopt;
}

void PrintProblems(const std::string &heading, const std::vector<std::string> &problems)
{
    std::fprintf(stderr, "lanscout-cli: %s\n", heading.c_str());
    for (const std::string &problem : problems)
        std::fprintf(stderr, "  %s\n", problem.c_str());
}

// ---- Plans: set is a plan of one camera

// A search whose list was full leaves the plan's checks blind to the replies it left out.
std::optional<int> RefuseIncompleteSearch(const CSite &site)
{
    const std::optional<std::string> problem = IncompleteSearchProblem(site.DroppedReplies());
    if (!problem)
        return std::nullopt;
    PrintProblems("refused, nothing was sent:", {*problem});
    return kExitRepliesDropped;
}

// A plan with problems is refused with its list of them (the first thousand, then
// their count).
std::optional<int> RefuseWithProblems(const CheckedPlan &plan)
{
    if (plan.problems.empty())
        return std::nullopt;
    PrintProblems("refused, nothing was sent:", plan.problems);
    return kExitPlanRefused;
}

// A dry run lists the planned settings in the report's format.
ListFormat ListFormatOf(ReportFormat format)
{
    switch (format) {
    case ReportFormat::Json: return ListFormat::Json;
    case ReportFormat::Csv: return ListFormat::Csv;
    case ReportFormat::Table: break;
    }
    return ListFormat::Table;
}

// Sends the plan's commands, searches again and reports each row.
std::vector<PlanRowReport> ApplyAndVerify(CSite &site, const CheckedPlan &plan, const CommandLogin &login,
                                          std::size_t concurrency, std::chrono::milliseconds timeout)
{
    std::vector<SettingsOrder> orders;
    for (std::size_t i = 0; i < plan.rows.size(); ++i)
        orders.push_back({plan.cameras[i], PlannedChange(plan.rows[i]), login});
    const CSettingsSender sent = site.SendChanges(std::move(orders), concurrency, timeout);
    site.Sweep();
    return Verdicts(plan, sent.Results(), sent.Sent(), site.Cameras());
}

bool AllVerified(const std::vector<PlanRowReport> &report)
{
    return std::all_of(report.begin(), report.end(),
                       [](const PlanRowReport &row) { return row.outcome == PlanOutcome::Verified; });
}

// ---- The commands

int RunAdapters(const Arguments &args)
{
    const CommandLine line = ReadCommandLine("adapters", kAdaptersUsage, args, {}, 0, 0);
    if (line.exitStatus)
        return *line.exitStatus;
    for (const AdapterEntry &adapter : SystemAdapters())
        std::printf("%s\t%s\n", adapter.name.c_str(), adapter.address.c_str());
    return kExitOk;
}

int RunSearch(const Arguments &args)
{
    const CommandLine line = ReadCommandLine("search", kSearchUsage, args, {kAdapter, kFormat}, 0, 0);
    if (line.exitStatus)
        return *line.exitStatus;
    std::string error;
    const std::optional<ListFormat> format = ParseListFormat(line.options.Value(kFormat.name).value_or("table"), error);
    if (!format)
        return UsageError("search", error, kSearchUsage);
    CSite site;
    if (const std::optional<int> status = SearchSite(site, line.options))
        return *status;
    WriteCameraList(std::cout, site.Cameras(), *format);
    return site.DroppedReplies() > 0 ? kExitRepliesDropped : kExitOk;
}

// The set command's settings as a plan row.
PlanRow RowFromOptions(const ParsedOptions &options, std::vector<std::string> &problems)
{
    std::vector<std::pair<std::string, std::string>> fields{{"mac", options.positional.front()}};
    for (const char *name : {"ip", "mask", "gateway", "dns"})
        if (const auto value = options.Value(name))
            fields.emplace_back(name, *value);
    if (const auto port = options.Value("http-port"))
        fields.emplace_back("http_port", *port);
    if (options.flags.count("dhcp"))
        fields.emplace_back("mode", "dhcp");
    if (options.flags.count("static"))
        fields.emplace_back("mode", "static");
    return PlanRowFromFields(fields, problems);
}

int RunSet(const Arguments &args)
{
    const CommandLine line = ReadCommandLine("set", kSetUsage, args,
                                             {{"ip", true}, {"mask", true}, {"gateway", true}, {"dns", true},
                                              {"http-port", true}, {"dhcp", false}, {"static", false}, kUser,
                                              kPasswordFile, kAdapter, kTimeout, kFormat},
                                             1, 1);
    if (line.exitStatus)
        return *line.exitStatus;
    const ParsedOptions &options = line.options;
    std::string error;
    const std::optional<ChangeOptions> change = ReadChangeOptions(options, error);
    if (!change)
        return UsageError("set", error, kSetUsage);
    if (options.flags.count("dhcp") && options.flags.count("static"))
        return UsageError("set", "--dhcp and --static exclude each other", kSetUsage);
    std::vector<std::string> problems;
    const PlanRow row = RowFromOptions(options, problems);
    if (!problems.empty()) {
        PrintProblems("refused, nothing was sent:", problems);
        return kExitPlanRefused;
    }
    CommandLogin login;
    if (const std::optional<int> status = ObtainLogin(options, options.positional.front(), login))
        return *status;
    CSite site;
    if (const std::optional<int> status = SearchSite(site, options))
        return *status;
    if (const std::optional<int> status = RefuseIncompleteSearch(site))
        return *status;
    if (NormalizedMac(row.mac) && !site.FindCamera(row.mac)) {
        std::fprintf(stderr, "lanscout-cli: no camera with MAC %s answered the search\n", row.mac.c_str());
        return kExitNoAnswer;
    }
    const CheckedPlan plan = CheckAgainst({row}, {}, site.Cameras());
    if (const std::optional<int> status = RefuseWithProblems(plan))
        return *status;
    const std::vector<PlanRowReport> report = ApplyAndVerify(site, plan, login, 1, change->timeout);
    WritePlanReport(std::cout, report, change->format);
    const PlanRowReport &outcome = report.front();
    switch (outcome.outcome) {
    case PlanOutcome::Verified:
        return kExitOk;
    case PlanOutcome::NotVerified:
        std::fputs(outcome.answeredTwice
                       ? "lanscout-cli: its MAC answered twice, with different settings: what the camera took is "
                         "not known\n"
                       : "lanscout-cli: the camera took the settings, but does not answer with them\n",
                   stderr);
        return kExitNotVerified;
    case PlanOutcome::NoAnswer:
        std::fputs("lanscout-cli: the camera did not answer the command\n", stderr);
        return kExitNoAnswer;
    case PlanOutcome::NotSent:
        std::fputs("lanscout-cli: the command could not be sent\n", stderr);
        return kExitNetworkError;
    case PlanOutcome::Rejected:
        break;
    }
    const char *message = ResultMessage(outcome.result);
    std::fprintf(stderr, "lanscout-cli: %s (result %d)\n", message ? message : "the camera refused the settings",
                 outcome.result);
    return outcome.result >= RESULT_FAILED && outcome.result <= RESULT_LOGIN_FAILED ? outcome.result : RESULT_FAILED;
}

std::optional<std::size_t> Concurrency(const ParsedOptions &options, std::string &error)
{
    return NumberOption(options, "concurrency", kBatchConcurrency, 1, 256, "a number", error);
}

int RunApply(const Arguments &args)
{
    const CommandLine line =
        ReadCommandLine("apply", kApplyUsage, args,
                        {kUser, kPasswordFile, {"dry-run", false}, {"concurrency", true}, kTimeout, kFormat, kAdapter},
                        1, 1);
    if (line.exitStatus)
        return *line.exitStatus;
    const ParsedOptions &options = line.options;
    std::string error;
    const std::optional<ChangeOptions> change = ReadChangeOptions(options, error);
    const std::optional<std::size_t> concurrency = change ? Concurrency(options, error) : std::nullopt;
    if (!change || !concurrency)
        return UsageError("apply", error, kApplyUsage);
    const InputFile text = ReadBoundedFile(options.positional.front(), kMaxPlanBytes, InputKinds::FilesAndPipes);
    if (!text.bytes) {
        std::fprintf(stderr, "lanscout-cli: %s\n", text.error.c_str());
        return kExitUnreadableInput;
    }
    const bool dryRun = options.flags.count("dry-run") > 0;
    CommandLogin login; // not asked for when nothing will be sent
    if (!dryRun && ParsePlan(*text.bytes).problems.empty())
        if (const std::optional<int> status = ObtainLogin(options, "the plan's cameras", login))
            return *status;
    CSite site;
    if (const std::optional<int> status = SearchSite(site, options))
        return *status;
    if (const std::optional<int> status = RefuseIncompleteSearch(site))
        return *status;
    const CheckedPlan plan = PlanFromCsv(*text.bytes, site.Cameras());
    if (const std::optional<int> status = RefuseWithProblems(plan))
        return *status;
    if (dryRun) {
        std::vector<Camera> planned;
        for (std::size_t i = 0; i < plan.rows.size(); ++i)
            planned.push_back(PlannedCamera(plan.rows[i], plan.cameras[i]));
        WriteCameraList(std::cout, planned, ListFormatOf(change->format));
        std::fprintf(stderr, "lanscout-cli: dry run: the plan is sound; %zu cameras would get these settings\n",
                     planned.size());
        return kExitOk;
    }
    const std::vector<PlanRowReport> report = ApplyAndVerify(site, plan, login, *concurrency, change->timeout);
    WritePlanReport(std::cout, report, change->format);
    return AllVerified(report) ? kExitOk : kExitNotVerified;
}

// The question the window asks before it reboots or resets cameras, on the terminal.
std::optional<int> Confirm(std::int32_t type, const std::vector<Camera> &cameras)
{
    const TypedLine answer = TypedOnTerminal(TerminalConfirmation(type, cameras) + "Send? [y/N] ", Echo::Shown);
    if (!answer.text) {
        std::fprintf(stderr, "lanscout-cli: not confirmed: %s; give --yes\n", answer.error.c_str());
        return kExitNotConfirmed;
    }
    if (answer.text->starts_with('y') || answer.text->starts_with('Y'))
        return std::nullopt;
    std::fputs("lanscout-cli: not confirmed: nothing was sent\n", stderr);
    return kExitNotConfirmed;
}

int RunToEach(std::int32_t type, const char *command, const char *usage, const Arguments &args)
{
    const CommandLine line =
        ReadCommandLine(command, usage, args, {kUser, kPasswordFile, {"yes", false}, kAdapter}, 1, SIZE_MAX);
    if (line.exitStatus)
        return *line.exitStatus;
    const ParsedOptions &options = line.options;
    for (const std::string &mac : options.positional)
        if (!NormalizedMac(mac))
            return UsageError(command, "'" + mac + "' is not a MAC address", usage);
    CommandLogin login;
    if (const std::optional<int> status = ObtainLogin(options, "the cameras", login))
        return *status;
    CSite site;
    if (const std::optional<int> status = SearchSite(site, options))
        return *status;
    std::vector<Camera> cameras;
    std::vector<std::string> missing;
    for (const std::string &mac : options.positional) {
        if (const std::optional<Camera> camera = site.FindCamera(mac))
            cameras.push_back(*camera);
        else
            missing.push_back("no camera with MAC " + mac + " answered the search");
    }
    if (!missing.empty()) {
        PrintProblems("nothing was sent:", missing);
        return kExitNoAnswer;
    }
    if (!options.flags.count("yes"))
        if (const std::optional<int> status = Confirm(type, cameras))
            return *status;
    const std::vector<UnsentCommand> unsent = site.SendToEach(type, cameras, login);
    WriteSendReport(std::cout, command, cameras, unsent);
    if (unsent.empty())
        return kExitOk;
    std::vector<std::string> reasons;
    for (const UnsentCommand &failure : unsent)
        reasons.push_back(CameraNamed(cameras[failure.target]) + ": " + CDatagramSocket::ErrorText(failure.error));
    PrintProblems(std::string(command) + " was not sent to " + std::to_string(unsent.size()) + " of " +
                      std::to_string(cameras.size()) + " cameras:",
                  reasons);
    return kExitNetworkError;
}

int RunReboot(const Arguments &args)
{
    return RunToEach(DISCOVERY_REBOOT, "reboot", kRebootUsage, args);
}

int RunFactoryReset(const Arguments &args)
{
    return RunToEach(DISCOVERY_FACTORY_RESET, "factory-reset", kFactoryResetUsage, args);
}

int WebFailure(const API_RESULT &result)
{
    std::fprintf(stderr, "lanscout-cli: %s\n", result.strMessage.c_str());
    return result.nCode == API_UNAUTHORIZED ? int(RESULT_LOGIN_FAILED) : int(kExitWebFailed);
}

// Without a challenge, a camera's "success" proves nothing about any login.
int NoLoginAsked(const std::string &ip)
{
    std::fprintf(stderr, "lanscout-cli: %s: the camera asked for no login: nothing could be verified\n", ip.c_str());
    return kExitNoLoginAsked;
}

// A login proven by reading the camera's video settings on a request it challenged.
std::optional<int> ProveLogin(const std::string &ip, const std::string &user, const std::string &password,
                              const char *what)
{
    const API_RESULT reading = ReadCameraChannels(ip, user, password).result;
    if (reading.nCode != API_SUCCESS) {
        std::fprintf(stderr, "lanscout-cli: the camera took the new password, but %s failed: %s\n", what,
                     reading.strMessage.c_str());
        return kExitNotVerified;
    }
    if (!reading.bLoginAsked)
        return NoLoginAsked(ip);
    return std::nullopt;
}

// The old password must no longer open the camera.
std::optional<int> ProveOldPasswordRefused(const std::string &ip, const std::string &user, const std::string &old)
{
    const API_RESULT reading = ReadCameraChannels(ip, user, old).result;
    if (reading.nCode == API_UNAUTHORIZED)
        return std::nullopt;
    std::fprintf(stderr, "lanscout-cli: the camera still takes the old password (%s)\n", reading.strMessage.c_str());
    return kExitNotVerified;
}

int RunPassword(const Arguments &args)
{
    const CommandLine line =
        ReadCommandLine("password", kPasswordUsage, args, {kUser, kPasswordFile, {"new-password-file", true}}, 1, 1);
    if (line.exitStatus)
        return *line.exitStatus;
    const ParsedOptions &options = line.options;
    const std::string &ip = options.positional.front();
    CommandLogin login;
    if (const std::optional<int> status = ObtainLogin(options, ip, login))
        return *status;
    const Secret newPassword = ObtainNewPassword(options.Value("new-password-file"));
    if (!newPassword.value) {
        std::fprintf(stderr, "lanscout-cli: %s\n", newPassword.error.c_str());
        return kExitUnreadableInput;
    }
    const API_RESULT changed = ChangeCameraPassword(ip, login.userId, login.password, *newPassword.value);
    if (changed.nCode != API_SUCCESS)
        return WebFailure(changed);
    if (!changed.bLoginAsked)
        return NoLoginAsked(ip);
    if (const std::optional<int> status = ProveLogin(ip, login.userId, *newPassword.value, "a login with it"))
        return *status;
    if (*newPassword.value != login.password)
        if (const std::optional<int> status = ProveOldPasswordRefused(ip, login.userId, login.password))
            return *status;
    std::printf("%s\tpassword changed and verified\n", ip.c_str());
    return kExitOk;
}

// A channel the camera said it switched, read back still on codec 3.
std::optional<int> ProveCodecsSwitched(const std::string &ip, const CommandLogin &login)
{
    const ChannelReading again = ReadCameraChannels(ip, login.userId, login.password);
    if (again.result.nCode != API_SUCCESS)
        return WebFailure(again.result);
    for (std::int32_t i = 0; i < again.count; ++i)
        if (again.records[i].codec == kCodecToReplace) {
            std::fprintf(stderr, "lanscout-cli: %s: channel %d is still on codec 3 after the switch\n", ip.c_str(),
                         int(again.records[i].channel_no));
            return kExitNotVerified;
        }
    return std::nullopt;
}

int RunCheck(const Arguments &args)
{
    const CommandLine line = ReadCommandLine("check", kCheckUsage, args, {kUser, kPasswordFile}, 1, 1);
    if (line.exitStatus)
        return *line.exitStatus;
    const std::string &ip = line.options.positional.front();
    CommandLogin login;
    if (const std::optional<int> status = ObtainLogin(line.options, ip, login))
        return *status;
    const LoginCheckResult check = CheckLoginAndUpdateCodec(ip, login.userId, login.password);
    if (check.reading.nCode != API_SUCCESS)
        return WebFailure(check.reading);
    if (!check.reading.bLoginAsked)
        return NoLoginAsked(ip);
    if (check.switchFailures != 0) {
        std::fprintf(stderr, "lanscout-cli: %s: %s\n", ip.c_str(), LoginCheckMessage(check).c_str());
        return kExitWebFailed;
    }
    if (const std::optional<int> status = ProveCodecsSwitched(ip, login))
        return *status;
    std::printf("%s\tlogin accepted, no channel left on codec 3\n", ip.c_str());
    return kExitOk;
}

} // namespace

const std::vector<Command> &Commands()
{
    static const std::vector<Command> commands{
        {"adapters", "list the network adapters", RunAdapters},
        {"search", "list the cameras that answer a search", RunSearch},
        {"set", "give one camera new network settings, and verify them", RunSet},
        {"apply", "give the cameras of a CSV plan their settings, and verify them", RunApply},
        {"reboot", "reboot cameras", RunReboot},
        {"factory-reset", "reset cameras to their factory settings", RunFactoryReset},
        {"password", "give a camera's user a new password, and verify it", RunPassword},
        {"check", "check a login and switch codec-3 channels to codec 1", RunCheck},
    };
    return commands;
}
