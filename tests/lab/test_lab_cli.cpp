// lanscout-cli as a user runs it, against camsim in the lab: the real program in a
// process of its own, its output, its exit status, and what camsim saw. Where a test
// shows that nothing was sent, a later search is the fence: camsim handles datagrams
// in order, so once it logged that search, anything sent before it was logged too.
#include "camapi/PasswordChange.h"
#include "camapi/VideoConfig.h"
#include "tests/lab/CamsimProcess.h"
#include "tests/lab/CliProcess.h"
#include "tests/lab/Forger.h"
#include "tests/lab/LabFile.h"
#include "tests/lab/RecordBuilder.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

extern char **environ;

namespace {

constexpr int kLogTimeoutMs = 10000;
const std::string kPassword = "Site-pass-1";

std::vector<std::string> Matches(const std::string &text, const std::string &pattern)
{
    const std::regex expression(pattern);
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), expression); it != std::sregex_iterator(); ++it)
        found.push_back((*it)[1]);
    return found;
}

// The IPs of camsim's replies to its first search, in the order they left.
std::vector<std::string> FirstSweepReplyIps(const CamsimProcess &camsim, std::size_t cameras)
{
    std::vector<std::string> ips;
    for (const std::string &line : camsim.LogLines())
        if (line.find(" reply mac=") != std::string::npos && ips.size() < cameras)
            ips.push_back(Matches(line, " ip=([0-9.]+)").front());
    return ips;
}

std::string CameraFile(const std::vector<std::string> &sections)
{
    std::string text;
    for (std::size_t i = 0; i < sections.size(); ++i)
        text += "[camera]\nmac = 02:4C:53:10:00:" + std::string(i < 10 ? "0" : "") + std::to_string(i) +
                "\nip = 10.77.0." + std::to_string(10 + i) + "\npassword = " + kPassword + "\n" + sections[i] + "\n";
    return text;
}

// Runs a search as the fence for everything the command before it sent.
void SearchAsFence(const CamsimProcess &camsim, int searchesBefore)
{
    ASSERT_EQ(RunCli({"search", "--format", "csv"}).status, 0);
    ASSERT_TRUE(camsim.WaitForLog("recv search", kLogTimeoutMs, searchesBefore + 5));
}

class CliLab : public ::testing::Test {
protected:
    static std::map<std::string, std::string> PasswordEnv() { return {{"LANSCOUT_PASSWORD", kPassword}}; }
};

TEST_F(CliLab, SearchListsTheCamerasInAnswerOrderInEachFormat)
{
    lab::LabFile cameras(CameraFile({"model = SIM \"Dome\", 2\nfirmware = 1.0\xe9", "mode = dhcp\nhttps = yes", "",
                                     "http_port = 8080"}));
    CamsimProcess camsim({"--config", cameras.Path()});
    struct FormatCase {
        const char *format;
        const char *ipPattern; // captures each camera's IP, in output order
        const char *mustHold;
    };
    const FormatCase cases[] = {
        {"table", R"(\n02:4C:53:10:00:0\d\s+([0-9.]+))", "MAC"},
        {"csv", R"(\n02:4C:53:10:00:0\d,([0-9.]+),)", "\"SIM \"\"Dome\"\", 2\",1.0\xc3\xa9,static"},
        {"json", R"re("ip":\s*"([0-9.]+)")re", "\"model\": \"SIM \\\"Dome\\\", 2\", \"firmware\": \"1.0\xc3\xa9\""},
        {"txt", R"(\] ([0-9.]+)\t)", "[1.0\xe9] 10.77.0.10\tSIM \"Dome\", 2\r\n"},
    };
    std::vector<std::string> answerOrder;
    for (const FormatCase &test : cases) {
        SCOPED_TRACE(test.format);
        const CliResult search = RunCli({"search", "--format", test.format});
        ASSERT_EQ(search.status, 0) << search.err;
        if (answerOrder.empty())
            answerOrder = FirstSweepReplyIps(camsim, 4);
        EXPECT_EQ(Matches("\n" + search.out, test.ipPattern), answerOrder) << search.out;
        EXPECT_NE(search.out.find(test.mustHold), std::string::npos) << search.out;
    }
    const CliResult bad = RunCli({"search", "--format", "xml"});
    EXPECT_EQ(bad.status, 64);
    EXPECT_NE(bad.err.find("xml"), std::string::npos) << bad.err;
}

// A camera's model and firmware may carry escape sequences, a bell and C1 bytes, and
// start as a spreadsheet formula: no format passes them on, and the search's CSV still
// reads back as a plan.
TEST_F(CliLab, HostileCameraTextsAreShownEscapedInEveryFormat)
{
    lab::LabFile cameras(
        CameraFile({"model = =HYPERLINK(\"x\")\x1b[2J\x1b]0;title\a\nfirmware = -1+\x9b" "31m\xe9", ""}));
    CamsimProcess camsim({"--config", cameras.Path()});
    const struct {
        const char *format;
        const char *shown;
    } cases[] = {
        {"table", "=HYPERLINK(\"x\")\\x1B[2J\\x1B]0;title\\x07  -1+\\x9B31m\xc3\xa9"},
        {"csv", ",\"'=HYPERLINK(\"\"x\"\")\\x1B[2J\\x1B]0;title\\x07\",'-1+\\x9B31m\xc3\xa9,"},
        {"json", "\"model\": \"=HYPERLINK(\\\"x\\\")\\u001b[2J\\u001b]0;title\\u0007\", "
                 "\"firmware\": \"-1+\\u009b31m\xc3\xa9\""},
        {"txt", "[-1+\\x9B31m\xe9] 10.77.0.10\t=HYPERLINK(\"x\")\\x1B[2J\\x1B]0;title\\x07\r\n"},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.format);
        const CliResult search = RunCli({"search", "--format", test.format});
        EXPECT_EQ(search.status, 0) << search.err;
        EXPECT_NE(search.out.find(test.shown), std::string::npos) << search.out;
        EXPECT_EQ(search.out.find_first_of("\x1b\a\x9b"), std::string::npos) << search.out;
    }
    lab::LabFile plan(RunCli({"search", "--format", "csv"}).out);
    const CliResult dryRun = RunCli({"apply", plan.Path(), "--dry-run"});
    EXPECT_EQ(dryRun.status, 0) << dryRun.err;
    EXPECT_NE(dryRun.err.find("the plan is sound; 2 cameras"), std::string::npos) << dryRun.err;
}

// Distinct forged replies to the reply port, from inside the tool's namespace, in bursts
// the socket's receive buffer holds even while a loaded machine (the sanitizer builds)
// drains it slowly: 70 000 take about a second and a half of the five-second sweep.
void ForgeReplies(int count)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(40014);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    lab::Record reply(lab::kRecordSize, 0);
    lab::PutI32(reply, lab::at::kType, lab::kReply);
    for (int n = 0; n < count; ++n) {
        char text[32];
        std::snprintf(text, sizeof text, "02:FE:00:%02X:%02X:%02X", n >> 16 & 0xFF, n >> 8 & 0xFF, n & 0xFF);
        lab::PutText(reply, lab::at::kMac, lab::at::kMacWidth, text);
        std::snprintf(text, sizeof text, "10.%d.%d.%d", n >> 16 & 0xFF, n >> 8 & 0xFF, n & 0xFF);
        lab::PutText(reply, lab::at::kIp, lab::at::kAddressWidth, text);
        sendto(fd, reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
        if (n % 500 == 499)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    close(fd);
}

// A flood of replies fills the list: search lists what the list holds, says on standard
// error how many replies it left out, and ends with a status of its own.
TEST_F(CliLab, SearchSaysHowManyRepliesTheFullListLeftOut)
{
    CamsimProcess camsim({"--cameras", "1", "--first-ip", CamsimProcess::FirstCameraAddress()});
    constexpr int kForged = 70000; // past the list's 65 536, within the reply socket's 32 MiB queue
    CliResult search;
    std::thread run([&] { search = RunCli({"search", "--format", "csv"}); });
    const bool sweeping = camsim.WaitForLog("recv search", kLogTimeoutMs);
    if (sweeping)
        ForgeReplies(kForged);
    run.join();
    ASSERT_TRUE(sweeping);
    EXPECT_EQ(search.status, 11) << search.err;
    const std::vector<std::string> leftOut =
        Matches(search.err, R"(the list is full at 65536 cameras: (\d+) more replies were left out)");
    ASSERT_EQ(leftOut.size(), 1u) << search.err;
    EXPECT_GT(std::stoi(leftOut.front()), 0);
    EXPECT_EQ(std::count(search.out.begin(), search.out.end(), '\n'), 1 + 65536); // the header, the full list
}

// A search whose list was full left cameras out that no check can see: neither a plan
// nor one camera's settings are sent, whatever the plan says.
TEST_F(CliLab, AFullListStopsPlansAndSettings)
{
    CamsimProcess camsim({"--cameras", "2", "--first-ip", CamsimProcess::FirstCameraAddress()});
    lab::LabFile plan("mac,ip\n02:4C:53:00:00:01,10.77.2.1\n");
    const struct {
        const char *what;
        std::vector<std::string> args;
    } cases[] = {
        {"a dry run", {"apply", plan.Path(), "--dry-run"}},
        {"a plan", {"apply", plan.Path(), "--user", "admin"}},
        {"one camera", {"set", "02:4C:53:00:00:01", "--ip", "10.77.2.1", "--user", "admin"}},
    };
    int searches = 0;
    for (const auto &test : cases) {
        SCOPED_TRACE(test.what);
        CliResult run;
        std::thread cli([&] { run = RunCli(test.args, {{"LANSCOUT_PASSWORD", "vqxnt"}}); });
        const bool sweeping = camsim.WaitForLog("recv search", kLogTimeoutMs, searches + 1);
        if (sweeping)
            ForgeReplies(70000);
        cli.join();
        ASSERT_TRUE(sweeping);
        searches += 5;
        EXPECT_EQ(run.status, 11) << run.err;
        EXPECT_NE(run.err.find("refused, nothing was sent:\n  the search's list was full at 65536 cameras"),
                  std::string::npos)
            << run.err;
    }
    SearchAsFence(camsim, searches);
    EXPECT_EQ(camsim.CountLog("set-config"), 0);
}

// Camera A keeps its settings and answers late; another device copied the command and
// answers first, as A at the new address. Two answers that differ prove nothing.
TEST_F(CliLab, ACameraThatAnswersTwiceDifferentlyIsNotVerified)
{
    lab::LabFile cameras(CameraFile({"keeps_settings = yes"}));
    CamsimProcess camsim({"--config", cameras.Path(), "--late-ms", "300"});
    CliResult set;
    std::thread cli([&] {
        set = RunCli({"set", "02:4C:53:10:00:00", "--ip", "10.77.0.50", "--user", "admin"}, PasswordEnv());
    });
    const bool verifying = camsim.WaitForLog("recv search", 3 * kLogTimeoutMs, 6); // the search after the command
    if (verifying)
        lab::Forger().Send(lab::RecordOf(lab::kReply, "02:4C:53:10:00:00", "10.77.0.50"));
    cli.join();
    ASSERT_TRUE(verifying);
    EXPECT_EQ(camsim.CountLog("set-config mac=02:4C:53:10:00:00"), 1);
    EXPECT_EQ(set.status, 6) << set.err;
    EXPECT_NE(set.out.find("not-verified (answered twice, differently)"), std::string::npos) << set.out;
    EXPECT_NE(set.err.find("answered twice"), std::string::npos) << set.err;
}

TEST_F(CliLab, SetIsVerifiedBySearchingAgain)
{
    lab::LabFile cameras(CameraFile({"", "", "keeps_settings = yes"}));
    CamsimProcess camsim({"--config", cameras.Path()});
    lab::LabFile wrongPassword("Site-pass-2\n");
    struct SetCase {
        const char *name;
        std::vector<std::string> args;
        int status;
        const char *camsimLine; // the command as camsim took it
        const char *errorText;
    };
    const SetCase cases[] = {
        {"moves", {"set", "02:4c:53:10:00:00", "--ip", "10.77.1.50", "--http-port", "8081", "--user", "admin"}, 0,
         "set-config mac=02:4C:53:10:00:00 user=admin mode=0 ip=10.77.1.50 http=8081", ""},
        {"wrong password",
         {"set", "02:4C:53:10:00:01", "--ip", "10.77.1.51", "--user", "admin", "--password-file", wrongPassword.Path()},
         5, "set-config mac=02:4C:53:10:00:01 user=admin mode=0 ip=10.77.1.51 http=80 from", "login failed"},
        {"says yes, does not move", {"set", "02-4C-53-10-00-02", "--ip", "10.77.1.52", "--user", "admin"}, 6,
         "set-config mac=02:4C:53:10:00:02 user=admin mode=0 ip=10.77.1.52", "does not answer with them"},
        {"absent camera", {"set", "02:4C:53:10:00:99", "--ip", "10.77.1.53", "--user", "admin"}, 7, nullptr,
         "no camera with MAC"},
    };
    for (const SetCase &test : cases) {
        SCOPED_TRACE(test.name);
        const CliResult set = RunCli(test.args, PasswordEnv());
        EXPECT_EQ(set.status, test.status) << set.err;
        EXPECT_NE(set.err.find(test.errorText), std::string::npos) << set.err;
        if (test.camsimLine) {
            EXPECT_EQ(camsim.CountLog(test.camsimLine), 1) << test.camsimLine;
        }
    }
    const std::string after = RunCli({"search", "--format", "csv"}).out;
    EXPECT_NE(after.find("02:4C:53:10:00:00,10.77.1.50,"), std::string::npos) << after;
    EXPECT_NE(after.find("02:4C:53:10:00:01,10.77.0.11,"), std::string::npos) << "the refused camera moved: " << after;
    EXPECT_NE(after.find("02:4C:53:10:00:02,10.77.0.12,"), std::string::npos) << after;
}

TEST_F(CliLab, ApplyGivesFiftyCamerasTheirPlanAndVerifiesEach)
{
    CamsimProcess camsim({"--cameras", "50", "--first-ip", CamsimProcess::FirstCameraAddress()});
    lab::LabFile plan(MovePlan(50));
    const CliResult apply =
        RunCli({"apply", plan.Path(), "--user", "admin", "--concurrency", "8", "--format", "json"},
               {{"LANSCOUT_PASSWORD", "vqxnt"}});
    EXPECT_EQ(apply.status, 0) << apply.err << apply.out;
    EXPECT_EQ(Matches(apply.out, R"re("outcome":\s*"(verified)")re").size(), 50u) << apply.out;
    EXPECT_EQ(camsim.CountLog("result=0 to"), 50);
    const std::string after = RunCli({"search", "--format", "csv"}).out;
    EXPECT_EQ(Matches(after, R"(,(10\.77\.2\.\d+),)").size(), 50u) << after;
}

TEST_F(CliLab, FlawedPlansAndDryRunsSendNothing)
{
    CamsimProcess camsim({"--cameras", "4", "--first-ip", CamsimProcess::FirstCameraAddress()});
    lab::LabFile flawed("mac,ip\n"
                        "02:4C:53:00:00:01,10.77.2.1\n"
                        "02:4C:53:00:00:02,10.77.2.1\n"  // the same IP twice in the plan
                        "02:4C:53:00:00:03,10.77.0.13\n" // the fourth camera's own IP
                        "02:4C:53:00:00:77,10.77.2.7\n"  // no such camera
                        "02:4C:53:00:00:04,10.77.2.300\n");
    lab::LabFile sound(MovePlan(4));
    lab::LabFile huge(std::string(17 << 20, 'x'));
    int searches = 0;
    struct PlanCase {
        const char *name;
        std::vector<std::string> args;
        int status;
        std::vector<std::string> texts; // in standard error, or in standard output for a dry run
    };
    const PlanCase cases[] = {
        {"flawed",
         {"apply", flawed.Path(), "--user", "admin"},
         65,
         {"line 3: ip 10.77.2.1 is planned on line 2 already", "line 4", "10.77.0.13", "line 5", "line 6"}},
        {"dry run", {"apply", sound.Path(), "--dry-run"}, 0, {"10.77.2.1", "10.77.2.4"}},
        {"unreadable", {"apply", "/nonexistent/plan.csv", "--user", "admin"}, 66, {"/nonexistent/plan.csv"}},
        {"17 MiB", {"apply", huge.Path(), "--user", "admin"}, 66, {"is 17.0 MiB (17825792 bytes)"}},
        {"a folder", {"apply", "/tmp", "--user", "admin"}, 66, {"cannot read /tmp: it is a folder"}},
        {"endless", {"apply", "/dev/zero", "--user", "admin"}, 66, {"cannot read /dev/zero: it is a device"}},
        {"set cutting the camera off",
         {"set", "02:4C:53:00:00:01", "--ip", "10.77.3.255", "--user", "admin"},
         65,
         {"ip 10.77.3.255 is the broadcast address of 10.77.0.0/22"}},
    };
    for (const PlanCase &test : cases) {
        SCOPED_TRACE(test.name);
        const CliResult apply = RunCli(test.args, {{"LANSCOUT_PASSWORD", "vqxnt"}});
        EXPECT_EQ(apply.status, test.status) << apply.err;
        for (const std::string &text : test.texts)
            EXPECT_NE((apply.err + apply.out).find(text), std::string::npos) << text << "\n" << apply.err;
        searches = camsim.CountLog("recv search");
    }
    SearchAsFence(camsim, searches);
    EXPECT_EQ(camsim.CountLog("set-config"), 0);
}

TEST_F(CliLab, RebootAsksUnlessToldYes)
{
    CamsimProcess camsim({"--cameras", "2", "--first-ip", CamsimProcess::FirstCameraAddress()});
    const std::map<std::string, std::string> login{{"LANSCOUT_PASSWORD", "vqxnt"}};
    const CliResult unasked = RunCli({"reboot", "02:4C:53:00:00:01", "--user", "admin"}, login);
    EXPECT_EQ(unasked.status, 9) << unasked.err;
    SearchAsFence(camsim, camsim.CountLog("recv search"));
    EXPECT_EQ(camsim.CountLog("reboot mac="), 0);

    const CliResult told = RunCli({"reboot", "02:4C:53:00:00:01", "02:4C:53:00:00:02", "--user", "admin", "--yes"}, login);
    EXPECT_EQ(told.status, 0) << told.err;
    EXPECT_TRUE(camsim.WaitForLog("reboot mac=", kLogTimeoutMs, 2));
    EXPECT_EQ(camsim.CountLog("reboot mac=02:4C:53:00:00:01 silent-ms"), 1);
}

// Takes the tool side's address off its interface (lab.sh: veth-t, /22) while it lives:
// nothing the tool sends has a way out then.
class ToolAddressTaken {
public:
    ToolAddressTaken() { EXPECT_EQ(std::system(Command("del").c_str()), 0); }
    ~ToolAddressTaken() { EXPECT_EQ(std::system(Command("add").c_str()), 0); }
    ToolAddressTaken(const ToolAddressTaken &) = delete;
    ToolAddressTaken &operator=(const ToolAddressTaken &) = delete;

private:
    static std::string Command(const char *verb)
    {
        return std::string("ip address ") + verb + " " + CamsimProcess::ToolAddress() + "/22 dev veth-t";
    }
};

// The adapter loses its address between the search and the send: each camera is
// reported not sent, with a status of its own, and nothing reaches a camera. The question
// on the terminal is the fence between the two; while it waits, the program holds the
// password and must not be able to leave a core file.
TEST_F(CliLab, RebootThatCannotBeSentIsReported)
{
    CamsimProcess camsim({"--cameras", "2", "--first-ip", CamsimProcess::FirstCameraAddress()});
    std::unique_ptr<ToolAddressTaken> taken;
    std::string limits;
    const CliResult reboot = RunCliAnswering({"reboot", "02:4C:53:00:00:01", "02:4C:53:00:00:02", "--user", "admin"},
                                             {{"LANSCOUT_PASSWORD", "vqxnt"}}, "y\n", [&](pid_t pid) {
                                                 limits = lab::ReadFile("/proc/" + std::to_string(pid) + "/limits");
                                                 taken = std::make_unique<ToolAddressTaken>();
                                             });
    taken.reset();
    EXPECT_EQ(reboot.status, 71) << reboot.out;
    for (const char *text : {"IP : 10.77.0.10 / MAC : 02:4C:53:00:00:01", // the question
                             "02:4C:53:00:00:01\t10.77.0.10\treboot not sent",
                             "02:4C:53:00:00:02\t10.77.0.11\treboot not sent", "reboot was not sent to 2 of 2 cameras"})
        EXPECT_NE(reboot.out.find(text), std::string::npos) << text << "\n" << reboot.out;
    EXPECT_TRUE(std::regex_search(limits, std::regex(R"(Max core file size +0 +0 )"))) << limits;
    SearchAsFence(camsim, camsim.CountLog("recv search"));
    EXPECT_EQ(camsim.CountLog("reboot mac="), 0);
}

// The bytes a camera's password may hold, read from a file, reach the camera as they
// are, and the login that verifies them uses them too.
TEST_F(CliLab, PasswordFromAFileReachesTheCameraByteForByte)
{
    CamsimProcess camsim({"--cameras", "2", "--first-ip", CamsimProcess::FirstCameraAddress()});
    const std::string ip = CamsimProcess::FirstCameraAddress();
    const std::string newPassword = "p&ss #%+ w\xf6rd:=";
    lab::LabFile current("vqxnt\r\n"), next(newPassword + "\n");
    const CliResult change = RunCli({"password", ip, "--user", "admin", "--password-file", current.Path(),
                                     "--new-password-file", next.Path()});
    ASSERT_EQ(change.status, 0) << change.err;
    EXPECT_EQ(camsim.CountLog("password mac=02:4C:53:00:00:01 user=admin"), 1);
    const std::vector<std::string> log = camsim.LogLines();
    const auto changed = std::find_if(log.begin(), log.end(),
                                      [](const std::string &line) { return line.find("password mac=") != std::string::npos; });
    EXPECT_TRUE(std::any_of(changed, log.end(), [](const std::string &line) {
        return line.find("page=basic.cgi") != std::string::npos && line.find("status=200") != std::string::npos;
    })) << "no verifying login after the change";

    CVantoHttpApi api;
    api.SetHost(CCameraAddress::FromText(ip));
    VIDEO_CONFIG channels[VIDEO_CONFIG_MAX_RECORDS];
    std::int32_t count = 0;
    api.SetCredentials("admin", newPassword);
    EXPECT_EQ(api.GetVideoConfig(channels, sizeof channels, count, -1).nCode, API_SUCCESS);
    api.SetCredentials("admin", newPassword.substr(0, newPassword.size() - 1));
    EXPECT_EQ(api.GetVideoConfig(channels, sizeof channels, count, -1).nCode, API_UNAUTHORIZED);

    // The second camera has a channel on codec 3: check switches it, as Save does.
    const CliResult check = RunCli({"check", "10.77.0.11", "--user", "admin"}, {{"LANSCOUT_PASSWORD", "vqxnt"}});
    EXPECT_EQ(check.status, 0) << check.err;
    EXPECT_EQ(camsim.CountLog("apply mac=02:4C:53:00:00:02 channel=1 codec=1 result=ok"), 1);
    const CliResult refusedLogin = RunCli({"check", ip, "--user", "admin"}, {{"LANSCOUT_PASSWORD", "vqxnt"}});
    EXPECT_EQ(refusedLogin.status, 5) << "a refused login is the camera's own status: " << refusedLogin.err;

    lab::LabFile shortOne("short\n");
    const CliResult refused = RunCli({"password", ip, "--user", "admin", "--new-password-file", shortOne.Path()},
                                     {{"LANSCOUT_PASSWORD", newPassword}});
    EXPECT_EQ(refused.status, 66) << refused.err;
    EXPECT_NE(refused.err.find("8 to 30"), std::string::npos) << refused.err;
}

// The receive port of a running window: polls until some socket has it.
bool ReceivePortTaken()
{
    const std::string table = lab::ReadFile("/proc/net/udp");
    return table.find(":9C4E ") != std::string::npos; // 40014
}

TEST_F(CliLab, BadAdapterAndARunningWindowAreToldApart)
{
    CamsimProcess camsim({"--cameras", "1", "--first-ip", CamsimProcess::FirstCameraAddress()});
    const CliResult adapter = RunCli({"search", "--adapter", "eth9"});
    EXPECT_EQ(adapter.status, 67);
    EXPECT_NE(adapter.err.find("eth9"), std::string::npos) << adapter.err;
    const CliResult byAddress = RunCli({"search", "--adapter", CamsimProcess::ToolAddress(), "--format", "csv"});
    EXPECT_EQ(byAddress.status, 0) << byAddress.err;

    pid_t window = -1;
    std::string program = LANSCOUT_EXECUTABLE;
    char *argv[] = {program.data(), nullptr};
    std::vector<std::string> environment{"QT_QPA_PLATFORM=offscreen"};
    for (char **entry = environ; *entry; ++entry)
        environment.emplace_back(*entry);
    std::vector<char *> envp;
    for (std::string &entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    ASSERT_EQ(posix_spawn(&window, argv[0], nullptr, nullptr, argv, envp.data()), 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!ReceivePortTaken() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const CliResult second = RunCli({"search"});
    kill(window, SIGTERM);
    waitpid(window, nullptr, 0);
    EXPECT_EQ(second.status, 69);
    EXPECT_NE(second.err.find("another copy is running"), std::string::npos) << second.err;
}

} // namespace
