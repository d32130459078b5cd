// lanscout-cli's Qt-free parts and what it shares with the window: the address plan,
// the printed formats, the bounded file reads, the secrets.
// What only Linux does (pipes, the terminal, the environment) is in test_cli_linux.cpp.
#include "platform/Csv.h"
#include "platform/InputFile.h"
#include "platform/InputFileSystem.h"
#include "cli/Options.h"
#include "cli/Output.h"
#include "addressing/AddressBatch.h"
#include "addressing/AddressPlan.h"
#include "discovery/DiscoverySession.h"
#include "discovery/RecordCamera.h"
#include "cli/Secrets.h"
#include "platform/AsciiText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <utility>

#include <unistd.h>

namespace {

Camera Answered(const char *mac, const char *ip, std::int32_t mode = IP_MODE_STATIC)
{
    DISCOVERY_DATA record = ZeroRecord();
    record.nType = DISCOVERY_REPLY;
    WriteSlotText(record.szMAC, mac);
    WriteSlotText(record.szIP, ip);
    WriteSlotText(record.szSubnetMask, "255.255.252.0");
    WriteSlotText(record.szGateway, "10.77.0.1");
    WriteSlotText(record.szDNS, "10.77.0.1");
    WriteSlotText(record.szProductName, "XNV-6080");
    WriteSlotText(record.szFirmwareVersion, "2.10");
    record.nIPMode = mode;
    record.wHttpPort = 80;
    record.wRtspPort = 554;
    return CameraFromRecord(record);
}

// Problems are checked by their line and a telling part of their text.
struct Expected {
    int line; // 0: a problem of the whole plan
    const char *fragment;
};

void ExpectProblems(const std::vector<std::string> &problems, const std::vector<Expected> &expected)
{
    ASSERT_EQ(problems.size(), expected.size()) << ::testing::PrintToString(problems);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::string where = expected[i].line ? "line " + std::to_string(expected[i].line) + ": " : "";
        EXPECT_EQ(problems[i].rfind(where, 0), 0u) << problems[i];
        EXPECT_NE(problems[i].find(expected[i].fragment), std::string::npos) << problems[i];
    }
}

class TempFile {
public:
    TempFile(const std::string &name, const std::string &bytes)
        : m_path(::testing::TempDir() + "lanscout_cli_" + std::to_string(::getpid()) + "_" + name)
    {
        std::ofstream(m_path, std::ios::binary) << bytes;
    }
    ~TempFile() { std::remove(m_path.c_str()); }
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;

    const std::string &Path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace

// --- The plan -----------------------------------------------------------------------

TEST(Plan, ReadsQuotedFieldsLineEndsAndAByteOrderMarkIntoRowsWithTheirLines)
{
    const ParsedPlan plan = ParsePlan("\xEF\xBB\xBF Mode , MAC ,\"Http_Port\",ip,dns\r\n"
                                      "\r\n"
                                      "dhcp,\"02:4c:53:00:00:01\",8080,,\r\n"
                                      "  STATIC ,02-4C-53-00-00-02, , \"10.77.0.20\" ,\"10.77.\n0.1\"\n"
                                      "static,\"02:4C:53:00:00:03\"\"x\",,,\n");
    EXPECT_TRUE(plan.problems.empty()) << ::testing::PrintToString(plan.problems);
    ASSERT_EQ(plan.rows.size(), 3u);
    EXPECT_EQ(plan.rows[0].line, 3);
    EXPECT_EQ(plan.rows[0].mac, "02:4c:53:00:00:01");
    EXPECT_EQ(plan.rows[0].mode, IP_MODE_DHCP);
    EXPECT_EQ(plan.rows[0].httpPort, 8080);
    EXPECT_FALSE(plan.rows[0].ip || plan.rows[0].dns || plan.rows[0].mask);
    EXPECT_EQ(plan.rows[1].line, 4);
    EXPECT_EQ(plan.rows[1].mode, IP_MODE_STATIC);
    EXPECT_FALSE(plan.rows[1].httpPort);
    EXPECT_EQ(plan.rows[1].ip, "10.77.0.20");
    EXPECT_EQ(plan.rows[1].dns, "10.77.\n0.1"); // kept as read; the check refuses it
    EXPECT_EQ(plan.rows[2].line, 6); // the quoted line end counts
    EXPECT_EQ(plan.rows[2].mac, "02:4C:53:00:00:03\"x");
}

TEST(Plan, FormFaultsAreAllReportedWithTheirLines)
{
    const struct {
        const char *csv;
        std::vector<Expected> problems;
    } cases[] = {
        {"", {{0, "empty"}}},
        {"\n\r\n", {{0, "empty"}}},
        {"mac,ip\n", {{1, "names no camera"}}},
        {"ip,mode\n10.0.0.1,static\n", {{1, "no mac column"}}},
        {"mac,colour,ip,IP\nM1,red,1.2.3.4,1.2.3.5\n", {{1, "unknown column \"colour\""}, {1, "\"IP\" named twice"}}},
        {"mac,http_port,mode\nM1,0,static\nM2,65536,\nM3,8o,auto\nM4,+80,\nM5,65535,DHCP\n",
         {{2, "http_port \"0\""}, {3, "http_port \"65536\""}, {4, "http_port \"8o\""}, {4, "mode \"auto\""},
          {5, "http_port \"+80\""}}},
        {"mac,ip\nM1\nM2,1,2\nM3,\"1.2\"x\nM4,1\"2\nM5,\"1.2.3.4\n",
         {{2, "1 fields where the header has 2"},
          {3, "3 fields"},
          {4, "text after a field's closing quote"},
          {5, "a quote inside a field"},
          {6, "quote opened on line 6 is never closed"}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.csv);
        ExpectProblems(ParsePlan(c.csv).problems, c.problems);
    }
}

TEST(Plan, CheckListsEveryProblemWithItsLine)
{
    const std::vector<Camera> answered = {
        Answered("02:4C:53:00:00:01", "10.77.0.10"),
        Answered("02:4C:53:00:00:02", "10.77.0.11"),
        Answered("02:4C:53:00:00:03", "10.77.0.12", IP_MODE_DHCP),
        Answered("02:4C:53:00:00:09", "10.77.0.18"),
        Answered("02:4c:53:00:00:09", "10.77.0.19"), // the same MAC, spelt otherwise
    };
    const struct {
        const char *name;
        const char *csv;
        std::vector<Expected> problems;
    } cases[] = {
        {"a good plan: MACs in any spelling, a camera keeping its own IP, DHCP to static",
         "mac,ip,mask,gateway,dns,http_port,mode\n"
         "02-4c-53-00-00-01,10.77.0.20,255.255.252.0,10.77.0.1,0.0.0.0,8080,\n"
         "02:4C:53:00:00:02,10.77.0.11,,,,,static\n"
         "02:4c:53:00:00:03,10.77.0.30,255.255.255.0,,,,static\n",
         {}},
        {"faults of form",
         "mac,ip,mask,gateway,dns\n"
         "02:4C:53:00:00,,,,\n"
         "02:4C:53:00:00:0G,,,,\n"
         "02:4C-53:00:00:01,,,,\n"
         "02:4C:53:00:00:02,10.77.0.256,255.0.255.0,010.77.0.1,+1.2.3.4\n"
         "02:4C:53:00:00:01,1.2.3,0.0.0.1,1..2.3,1.2.3.4.5\n",
         {{2, "MAC \"02:4C:53:00:00\""},
          {3, "MAC \"02:4C:53:00:00:0G\""},
          {4, "MAC \"02:4C-53:00:00:01\""},
          {5, "ip \"10.77.0.256\""},
          {5, "mask \"255.0.255.0\" is not a contiguous"},
          {5, "gateway \"010.77.0.1\""},
          {5, "dns \"+1.2.3.4\""},
          {6, "ip \"1.2.3\""},
          {6, "mask \"0.0.0.1\""},
          {6, "gateway \"1..2.3\""},
          {6, "dns \"1.2.3.4.5\""}}},
        {"faults against each other and the cameras that answered",
         "mac,ip\n"
         "02:4C:53:00:00:01,10.77.0.11\n"
         "02:4C:53:00:00:02,10.77.0.11\n"
         "02-4c-53-00-00-01,\n"
         "02:4C:53:00:00:77,10.77.0.40\n"
         "02:4C:53:00:00:03,10.77.0.41\n"
         "02:4C:53:00:00:09,\n",
         {{2, "ip 10.77.0.11 is the address of another camera that answered, MAC \"02:4C:53:00:00:02\""},
          {3, "ip 10.77.0.11 is planned on line 2 already"},
          {4, "MAC 02:4C:53:00:00:01 is planned on line 2 already"},
          {5, "MAC 02:4C:53:00:00:77 did not answer"},
          {6, "under DHCP"},
          {7, "answered from 2 cameras (\"10.77.0.18\", \"10.77.0.19\")"}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ParsedPlan plan = ParsePlan(c.csv);
        ASSERT_TRUE(plan.problems.empty()) << ::testing::PrintToString(plan.problems);
        ExpectProblems(CheckPlan(plan.rows, answered), c.problems);
    }
}

TEST(Plan, SettingsThatWouldCutTheCameraOffAreRefused)
{
    Camera oddMask = Answered("02:4C:53:00:00:02", "10.77.0.11");
    oddMask.subnetMask = "255.0.255.0";
    Camera noLease = Answered("02:4C:53:00:00:03", "10.77.0.12", IP_MODE_DHCP);
    noLease.subnetMask = "0.0.0.0";
    Camera alone = Answered("02:4C:53:00:00:04", "10.77.0.13");
    alone.subnetMask = "255.255.255.255";
    alone.gateway = "0.0.0.0";
    const std::vector<Camera> answered = {
        Answered("02:4C:53:00:00:01", "10.77.0.10"), // 10.77.0.0/22, gateway 10.77.0.1
        oddMask,
        noLease,
        alone,
    };
    const struct {
        const char *row; // mac,ip,mask,gateway,http_port,mode
        std::vector<const char *> problems;
    } cases[] = {
        {"02:4C:53:00:00:01,0.0.0.0,,,,", {"ip 0.0.0.0 is no address"}},
        {"02:4C:53:00:00:01,255.255.255.255,,,,", {"ip 255.255.255.255 is the broadcast address of every network"}},
        {"02:4C:53:00:00:01,10.77.0.0,,,,", {"ip 10.77.0.0 is the network address of 10.77.0.0/22"}},
        {"02:4C:53:00:00:01,10.77.3.255,,,,", {"ip 10.77.3.255 is the broadcast address of 10.77.0.0/22"}},
        {"02:4C:53:00:00:01,,255.255.255.0,10.77.0.1,,", {}},
        {"02:4C:53:00:00:01,10.77.1.0,255.255.255.0,10.77.1.1,,",
         {"ip 10.77.1.0 is the network address of 10.77.1.0/24"}},
        {"02:4C:53:00:00:01,127.0.0.2,,,,", {"ip 127.0.0.2 is a loopback address"}},
        {"02:4C:53:00:00:01,224.0.0.1,,0.0.0.0,,", {"ip 224.0.0.1 is a multicast address"}},
        {"02:4C:53:00:00:01,239.255.255.254,,0.0.0.0,,", {"ip 239.255.255.254 is a multicast address"}},
        {"02:4C:53:00:00:01,240.0.0.1,,0.0.0.0,,", {"ip 240.0.0.1 is a reserved address"}},
        {"02:4C:53:00:00:01,,0.0.0.0,,,", {"mask 0.0.0.0 would make every address local"}},
        {"02:4C:53:00:00:01,,,10.78.0.1,,", {"gateway 10.78.0.1 is outside the camera's subnet 10.77.0.0/22"}},
        {"02:4C:53:00:00:01,10.77.4.10,,,,",
         {"gateway 10.77.0.1 (the camera's own) is outside the camera's subnet 10.77.4.0/22"}},
        {"02:4C:53:00:00:01,10.77.4.10,,0.0.0.0,,", {}}, // no gateway: the subnet alone
        {"02:4C:53:00:00:01,10.77.0.21,255.255.255.252,0.0.0.0,,", {}}, // room for the camera and a neighbour
        {"02:4C:53:00:00:01,10.77.0.20,255.255.255.254,0.0.0.0,,",
         {"mask 255.255.255.254 leaves the camera no neighbour: a subnet needs a prefix of /30 or shorter"}},
        {"02:4C:53:00:00:01,10.77.0.20,255.255.255.255,0.0.0.0,,",
         {"mask 255.255.255.255 leaves the camera no neighbour: a subnet needs a prefix of /30 or shorter"}},
        {"02:4C:53:00:00:04,,,,8080,", {"mask 255.255.255.255 (the camera's own) leaves the camera no neighbour"}},
        {"02:4C:53:00:00:02,,,,8080,", {"mask 255.0.255.0 (the camera's own) is not a contiguous subnet mask"}},
        {"02:4C:53:00:00:03,,,,8080,", {}}, // the DHCP server gives it its addresses
        {"02:4C:53:00:00:03,,,,,static", {"mask 0.0.0.0 (the camera's own) would make every address local"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.row);
        const ParsedPlan plan = ParsePlan("mac,ip,mask,gateway,http_port,mode\n" + std::string(c.row) + "\n");
        ASSERT_TRUE(plan.problems.empty()) << ::testing::PrintToString(plan.problems);
        std::vector<Expected> expected;
        for (const char *fragment : c.problems)
            expected.push_back({2, fragment});
        ExpectProblems(CheckPlan(plan.rows, answered), expected);
    }
}

TEST(Plan, SettingsCarryThePlannedFieldsAndTheReplyShowsThem)
{
    const Camera reply = Answered("02:4C:53:00:00:01", "10.77.0.10", IP_MODE_DHCP);
    const PlanRow row = ParsePlan("mac,ip,gateway,http_port,mode\n02-4c-53-00-00-01,10.77.0.20,10.77.0.2,8080,static\n")
                            .rows.at(0);

    // The command: everything but the planned fields stays as the camera sent it.
    DISCOVERY_DATA expected = *RecordOf(reply);
    expected.nType = DISCOVERY_SET_CONFIG;
    FillCredentialBlock(expected, "admin", "Site-pass-1");
    std::memcpy(expected.szIP, "10.77.0.20", 11);
    std::memcpy(expected.szGateway, "10.77.0.2\0", 10);
    expected.wHttpPort = 8080;
    expected.nIPMode = IP_MODE_STATIC;
    const DISCOVERY_DATA command = MakeChangeCommand(*RecordOf(reply), PlannedChange(row), {"admin", "Site-pass-1"});
    EXPECT_EQ(std::memcmp(&command, &expected, sizeof command), 0);

    const Camera settings = PlannedCamera(row, reply);
    EXPECT_FALSE(ReplyShowsPlan(row, reply));
    EXPECT_TRUE(ReplyShowsPlan(row, settings));
    const struct {
        const char *name;
        void (*change)(Camera &);
        bool shows;
    } replies[] = {
        {"MAC spelt otherwise", [](Camera &r) { r.mac = "02:4c:53:00:00:01"; }, true},
        {"unplanned field changed", [](Camera &r) { r.dns = "8.8.8.8"; }, true},
        {"another camera", [](Camera &r) { r.mac = "02:4C:53:00:00:02"; }, false},
        {"other IP", [](Camera &r) { r.ip = "10.77.0.21"; }, false},
        {"other gateway", [](Camera &r) { r.gateway = "10.77.0.1"; }, false},
        {"other port", [](Camera &r) { r.httpPort = 80; }, false},
        {"other mode", [](Camera &r) { r.ipMode = IP_MODE_DHCP; }, false},
    };
    for (const auto &c : replies) {
        Camera changed = settings;
        c.change(changed);
        EXPECT_EQ(ReplyShowsPlan(row, changed), c.shows) << c.name;
    }
}

// The search after an accepted command decides its verdict. A MAC that answers it more
// than once with other settings proves nothing, whichever answer came first.
TEST(Plan, VerdictsComeFromTheSearchAfterTheCommands)
{
    const Camera before = Answered("02:4C:53:00:00:0A", "10.77.0.10");
    const Camera moved = Answered("02:4C:53:00:00:0A", "10.77.0.50");
    Camera movedOtherMask = moved;
    movedOtherMask.subnetMask = "255.255.255.0";
    const CheckedPlan plan{ParsePlan("mac,ip\n02-4c-53-00-00-0a,10.77.0.50\n").rows, {before}, {}};
    const struct {
        const char *name;
        std::vector<Camera> listedAfter;
        PlanOutcome outcome;
        bool answeredTwice;
    } cases[] = {
        {"moved", {moved}, PlanOutcome::Verified, false},
        {"stayed", {before}, PlanOutcome::NotVerified, false},
        {"gone", {}, PlanOutcome::NotVerified, false},
        {"a copy at the new address first", {moved, before}, PlanOutcome::NotVerified, true},
        {"a copy at the new address last", {before, moved}, PlanOutcome::NotVerified, true},
        {"twice, differing in the mask only", {moved, movedOtherMask}, PlanOutcome::NotVerified, true},
        {"twice alike", {moved, moved}, PlanOutcome::Verified, false},
    };
    for (const auto &c : cases) {
        const PlanRowReport verdict = Verdicts(plan, {std::int32_t(0)}, {true}, c.listedAfter).at(0);
        EXPECT_EQ(verdict.outcome, c.outcome) << c.name;
        EXPECT_EQ(verdict.answeredTwice, c.answeredTwice) << c.name;
    }
    const PlanRowReport refused = Verdicts(plan, {std::int32_t(RESULT_INVALID_PORT)}, {true}, {moved, before}).at(0);
    EXPECT_EQ(refused.outcome, PlanOutcome::Rejected) << "the camera's own answer stands";
}

// The window's batch refuses what a plan file would: one problem for the form's mask.
TEST(Plan, FormWithAMaskThatLeavesNoNeighbourIsRefusedOnce)
{
    const std::vector<Camera> cameras = {Answered("02:4C:53:00:00:01", "10.77.0.10"),
                                                 Answered("02:4C:53:00:00:02", "10.77.0.11")};
    const struct {
        const char *start, *mask;
        std::size_t maskProblems;
    } cases[] = {{"10.77.0.41", "255.255.255.252", 0}, {"10.77.0.40", "255.255.255.254", 1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mask);
        const CheckedPlan plan = PlanFromForm({c.start, c.mask, "0.0.0.0", "", "", IP_MODE_STATIC}, cameras, cameras);
        EXPECT_EQ(std::count(plan.problems.begin(), plan.problems.end(),
                             "mask " + std::string(c.mask) +
                                 " leaves the camera no neighbour: a subnet needs a prefix of /30 or shorter"),
                  long(c.maskProblems));
        EXPECT_EQ(plan.problems.size(), c.maskProblems) << ::testing::PrintToString(plan.problems);
    }
}

// The indexes give what a walk of the cameras gave: a MAC in any spelling is one camera,
// and two cameras at one address are two problems, the row's own camera left out.
TEST(Plan, PlannedTwiceAndAnotherCamerasIpAreFoundInAnySpelling)
{
    const std::vector<Camera> answered = {
        Answered("02:4C:53:00:00:01", "10.77.0.10"),
        Answered("02:4C:53:00:00:02", "10.77.0.11"),
        Answered("02-4c-53-00-00-03", "10.77.0.11"), // a conflict on site, its MAC spelt otherwise
    };
    const std::string csv = "mac,ip\n"
                            "02:4c:53:00:00:03,10.77.0.11\n"
                            "02-4C-53-00-00-01,10.77.0.11\n"
                            "02:4C:53:00:00:03,10.77.0.20\n"
                            "02:4c:53:00:00:01,10.77.0.21\n";
    const std::vector<Expected> expected = {
        {2, "ip 10.77.0.11 is the address of another camera that answered, MAC \"02:4C:53:00:00:02\""},
        {3, "ip 10.77.0.11 is planned on line 2 already"},
        {3, "ip 10.77.0.11 is the address of another camera that answered, MAC \"02:4C:53:00:00:02\""},
        {3, "ip 10.77.0.11 is the address of another camera that answered, MAC \"02-4c-53-00-00-03\""},
        {4, "MAC 02:4C:53:00:00:03 is planned on line 2 already"},
        {5, "MAC 02:4C:53:00:00:01 is planned on line 3 already"},
    };
    ExpectProblems(CheckPlan(ParsePlan(csv).rows, answered), expected);
    ExpectProblems(PlanFromCsv(csv, answered).problems, expected);
}

// --- Plans of any size -----------------------------------------------------------------

namespace {

std::string NumberedMac(std::size_t n)
{
    char mac[24];
    std::snprintf(mac, sizeof mac, "02:00:00:%02X:%02X:%02X", unsigned(n >> 16) & 0xFF, unsigned(n >> 8) & 0xFF,
                  unsigned(n) & 0xFF);
    return mac;
}

// The header and a line per row, row(n) for n from 0.
std::string PlanText(std::size_t rows, const std::function<std::string(std::size_t)> &row)
{
    std::string text = "mac,ip,mask\n";
    for (std::size_t n = 0; n < rows; ++n)
        text += row(n) + "\n";
    return text;
}

} // namespace

// A blank line builds no record, and a line's fields past the bound are read, not kept.
TEST(Csv, BlankLinesAndFieldsPastTheBoundAreNotKept)
{
    const std::string blankLines(1 << 20, '\n');
    const struct {
        const char *name;
        std::string text;
        std::vector<int> lines; // of each record
        std::vector<std::size_t> fields;
        std::vector<std::string> faults;
    } cases[] = {
        {"a mebibyte of blank lines", "mac,ip\n" + blankLines + " \t\r\nM1,1.2.3.4", {1, (1 << 20) + 3}, {2, 2}, {"", ""}},
        {"nothing but blanks", blankLines + "  ", {}, {}, {}},
        {"a mebibyte of commas", std::string(1 << 20, ',') + "\nM1\n", {1, 2}, {kMaxCsvFields, 1},
         {"more than 64 fields", ""}},
        {"as many fields as are kept", std::string(kMaxCsvFields - 1, ',') + "\"a\nb\"", {1}, {kMaxCsvFields}, {""}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<CsvRecord> records = ReadCsv(c.text);
        std::vector<int> lines;
        std::vector<std::size_t> fields;
        std::vector<std::string> faults;
        for (const CsvRecord &record : records) {
            lines.push_back(record.line);
            fields.push_back(record.fields.size());
            faults.push_back(record.fault);
        }
        EXPECT_EQ(lines, c.lines);
        EXPECT_EQ(fields, c.fields);
        EXPECT_EQ(faults, c.faults);
    }
}

// Past a thousand problems the rest are counted, exactly: each text once, a camera
// crowded by others at one address counted without walking them, and a problem the
// form's rows share counted once however late it first comes.
TEST(Plan, ProblemsPastAThousandAreCountedOnOneLine)
{
    std::vector<Camera> answered = {Answered("02:4C:53:00:00:0A", "10.77.0.10"),
                                            Answered("02:4C:53:00:00:0B", "10.77.0.10")};
    for (std::size_t n = 0; n < 2000; ++n)
        answered.push_back(Answered(NumberedMac(n).c_str(), "10.77.1.1"));
    const auto unknown = [](std::size_t n) { return "02:FF:00:" + NumberedMac(n).substr(9) + ",,"; };
    const auto oneIp = [](std::size_t n) { return NumberedMac(n) + ",10.77.0.10,"; };
    // The last row plans the address of one of the cameras there, spelt otherwise.
    const auto oneIpAndItsOwn = [](std::size_t n) {
        return n < 1999 ? NumberedMac(n) + ",10.77.0.10," : std::string("02-4c-53-00-00-0a,10.77.0.10,");
    };
    const struct {
        const char *name;
        std::string csv;
        std::size_t rows;
        std::string last; // the last problem line
    } cases[] = {
        {"a thousand", PlanText(1000, unknown), 1000, "line 1001: MAC 02:FF:00:00:03:E7 did not answer the search"},
        {"one more", PlanText(1001, unknown), 1001, "and 1 more"},
        // 70 000 did not answer, and a plan longer than a search's list
        {"more rows than a search lists", PlanText(70000, unknown), 65536, "and 69001 more"},
        // Each row after the first: planned already, two other cameras there
        {"one IP on every row", PlanText(2000, oneIp), 2000, "and " + std::to_string(2 + 3 * 1999 - 1000) + " more"},
        {"one IP, the last row a camera there", PlanText(2000, oneIpAndItsOwn), 2000,
         "and " + std::to_string(2 + 3 * 1998 + 2 - 1000) + " more"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const CheckedPlan plan = PlanFromCsv(c.csv, answered);
        EXPECT_EQ(plan.rows.size(), c.rows);
        ASSERT_EQ(plan.problems.size(), std::min<std::size_t>(c.rows, 1000) + (c.last.starts_with("and") ? 1 : 0));
        EXPECT_EQ(plan.problems.back(), c.last);
    }

    // A form's rows name no line: the mask of the later rows is one problem, counted once.
    std::vector<PlanRow> rows(1500);
    for (std::size_t n = 0; n < rows.size(); ++n) {
        rows[n].mac = "02:FF:00:" + NumberedMac(n).substr(9);
        if (n >= 1100)
            rows[n].mask = "255.255.255.255";
    }
    EXPECT_EQ(CheckAgainst(rows, {}, answered).problems.back(), "and 501 more");
}

// Shapes of a plan file at the size bound: what is kept stays small.
TEST(Plan, FilesAtTheSizeBoundKeepLittle)
{
    const struct {
        const char *name;
        std::string csv;
        std::size_t rows;
        std::vector<std::string> problems;
    } cases[] = {
        {"blank lines", "mac,ip\n" + std::string(kMaxPlanBytes - 7, '\n'), 0,
         {"line 1: the plan names no camera below its header"}},
        {"commas", std::string(kMaxPlanBytes, ','), 0, {"line 1: more than 64 fields"}},
        {"rows past a search's list", PlanText(65537, [](std::size_t n) { return NumberedMac(n) + ",,"; }), 65536,
         {"line 65538: the plan names more than 65536 cameras, more than a search lists"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ParsedPlan plan = ParsePlan(c.csv);
        EXPECT_EQ(plan.rows.size(), c.rows);
        EXPECT_EQ(plan.problems, c.problems);
    }
}

// --- What is printed -----------------------------------------------------------------

namespace {

// A camera whose texts hold what breaks careless output: quotes, commas, a backslash,
// control bytes and Latin-1 letters.
Camera OddCamera()
{
    Camera camera = Answered("02:4C:53:00:00:01", "10.77.0.10");
    camera.product = "Cam \"A\", \\ \x1B[2J\xE9\t\a\r\n";
    camera.firmware = "=v\xB2\x9B";
    camera.ipMode = 7;
    camera.https = 1;
    return camera;
}

std::string CameraList(const std::vector<Camera> &cameras, ListFormat format)
{
    std::ostringstream out;
    WriteCameraList(out, cameras, format);
    return out.str();
}

} // namespace

TEST(Output, CameraListInEachFormat)
{
    const std::vector<Camera> cameras = {OddCamera(), Answered("02:4C:53:00:00:02", "10.77.0.11")};
    const struct {
        ListFormat format;
        std::string expected;
    } cases[] = {
        {ListFormat::Txt, "[=v\xB2\\x9B] 10.77.0.10\tCam \"A\", \\ \\x1B[2J\xE9\t\\x07\\x0D\\x0A\r\n"
                          "[2.10] 10.77.0.11\tXNV-6080\r\n"},
        {ListFormat::Csv, "mac,ip,model,firmware,mode,mask,gateway,dns,http_port,https\n"
                          "02:4C:53:00:00:01,10.77.0.10,\"Cam \"\"A\"\", \\ \\x1B[2J\xC3\xA9\t\\x07\\x0D\\x0A\","
                          "'=v\xC2\xB2\\x9B,7,255.255.252.0,10.77.0.1,10.77.0.1,80,yes\n"
                          "02:4C:53:00:00:02,10.77.0.11,XNV-6080,2.10,static,255.255.252.0,10.77.0.1,10.77.0.1,"
                          "80,no\n"},
        {ListFormat::Json, "[\n"
                           "  {\"mac\": \"02:4C:53:00:00:01\", \"ip\": \"10.77.0.10\", "
                           "\"model\": \"Cam \\\"A\\\", \\\\ \\u001b[2J\xC3\xA9\\u0009\\u0007\\u000d\\u000a\", "
                           "\"firmware\": \"=v\xC2\xB2\\u009b\", \"mode\": 7, \"mask\": \"255.255.252.0\", "
                           "\"gateway\": \"10.77.0.1\", \"dns\": \"10.77.0.1\", \"http_port\": 80, \"https\": true},\n"
                           "  {\"mac\": \"02:4C:53:00:00:02\", \"ip\": \"10.77.0.11\", \"model\": \"XNV-6080\", "
                           "\"firmware\": \"2.10\", \"mode\": \"static\", \"mask\": \"255.255.252.0\", "
                           "\"gateway\": \"10.77.0.1\", \"dns\": \"10.77.0.1\", \"http_port\": 80, \"https\": false}\n"
                           "]\n"},
        {ListFormat::Table, // \xE9 and \xB2 take one column each, as the terminal shows them
         "MAC                IP          MODEL                                FIRMWARE  MODE    MASK           "
         "GATEWAY    DNS        HTTP  HTTPS\n"
         "02:4C:53:00:00:01  10.77.0.10  Cam \"A\", \\ \\x1B[2J\xC3\xA9\\x09\\x07\\x0D\\x0A  =v\xC2\xB2\\x9B   7       "
         "255.255.252.0  10.77.0.1  10.77.0.1  80    yes\n"
         "02:4C:53:00:00:02  10.77.0.11  XNV-6080                             2.10      static  255.255.252.0  "
         "10.77.0.1  10.77.0.1  80    no\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CameraList(cameras, c.format), c.expected) << int(c.format);
    EXPECT_EQ(CameraList({}, ListFormat::Json), "[]\n");
}

// What the CSV writer quotes, the reader gives back unchanged.
TEST(Output, CsvFieldsReadBackAsWritten)
{
    const std::vector<std::string> fields = {"", "plain", " padded ", "a,b", "say \"hi\"", "two\r\nlines", "\"", "\t"};
    std::string line = CsvField(fields[0]);
    for (std::size_t i = 1; i < fields.size(); ++i)
        line.append(",").append(CsvField(fields[i]));
    const std::vector<CsvRecord> records = ReadCsv(line + "\r\n");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].fault, "");
    EXPECT_EQ(records[0].fields, fields);
}

// Every writer shows a camera's text through ShownText; what each target keeps.
TEST(Output, ControlBytesAreEscapedForEveryTarget)
{
    const struct {
        std::string latin1;
        const char *terminal;
        const char *csv;
        const char *exported; // Latin-1 bytes
    } cases[] = {
        {"SIM-D2100 2.10", "SIM-D2100 2.10", "SIM-D2100 2.10", "SIM-D2100 2.10"},
        {"\x1B[2J\x1B]0;t\a", "\\x1B[2J\\x1B]0;t\\x07", "\\x1B[2J\\x1B]0;t\\x07", "\\x1B[2J\\x1B]0;t\\x07"},
        {std::string("a\0\x01\x1F", 4), "a\\x00\\x01\\x1F", "a\\x00\\x01\\x1F", "a\\x00\\x01\\x1F"},
        {"\r\n", "\\x0D\\x0A", "\\x0D\\x0A", "\\x0D\\x0A"},
        {"a\tb", "a\\x09b", "a\tb", "a\tb"},
        {"\x7F\x80\x9B\x9F", "\\x7F\\x80\\x9B\\x9F", "\\x7F\\x80\\x9B\\x9F", "\\x7F\\x80\\x9B\\x9F"},
        {"\xA0\xE9\xFF\\x41", "\xC2\xA0\xC3\xA9\xC3\xBF\\x41", "\xC2\xA0\xC3\xA9\xC3\xBF\\x41", "\xA0\xE9\xFF\\x41"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.latin1));
        EXPECT_EQ(ShownText(c.latin1, kTerminalTarget), c.terminal);
        EXPECT_EQ(ShownText(c.latin1, kCsvTarget), c.csv);
        EXPECT_EQ(ShownText(c.latin1, kExportTarget), c.exported);
    }
}

TEST(Output, SpreadsheetTakesNoCellForAFormula)
{
    const std::pair<const char *, const char *> cells[] = {
        {"=HYPERLINK(\"x\")", "'=HYPERLINK(\"x\")"}, {"+1", "'+1"}, {"-1+2", "'-1+2"}, {"@SUM(A1)", "'@SUM(A1)"},
        {"\tx", "'\tx"}, {"\rx", "'\rx"}, {"10.77.0.1", "10.77.0.1"}, {"a=b", "a=b"}, {"", ""},
    };
    for (const auto &[cell, shown] : cells)
        EXPECT_EQ(SpreadsheetText(cell), shown) << cell;
}

// The camera's IP and MAC texts are all the confirmation and the report of a reboot show.
TEST(Output, RebootConfirmationAndReportShowCameraTextsEscaped)
{
    const std::vector<Camera> cameras = {Answered("02:4C:53:00:00:01\x1B[2J", "10.77.0.10\x1B]0;x\a"),
                                                 Answered("02:4C:53:00:00:02", "10.77.0.11\x9B")};
    EXPECT_EQ(TerminalConfirmation(DISCOVERY_REBOOT, cameras),
              "Check the IP and MAC on \"Reboot\"\n\n"
              "IP : 10.77.0.10\\x1B]0;x\\x07 / MAC : 02:4C:53:00:00:01\\x1B[2J\n"
              "IP : 10.77.0.11\\x9B / MAC : 02:4C:53:00:00:02\n");
    std::ostringstream report;
    WriteSendReport(report, "reboot", cameras, {{1, ENETUNREACH}});
    EXPECT_EQ(report.str(), "02:4C:53:00:00:01\\x1B[2J\t10.77.0.10\\x1B]0;x\\x07\treboot sent\n"
                            "02:4C:53:00:00:02\t10.77.0.11\\x9B\treboot not sent\n");
    EXPECT_EQ(CameraNamed(cameras[1]), "02:4C:53:00:00:02 (10.77.0.11\\x9B)");
}

TEST(Output, PlanReportInEachFormatAndAsTheWindowsStatus)
{
    const std::vector<PlanRowReport> rows = {
        {"02:4C:53:00:00:01", "10.77.0.20", PlanOutcome::Verified, 0},
        {"02:4C:53:00:00:02", std::nullopt, PlanOutcome::Rejected, RESULT_LOGIN_FAILED},
        {"02:4C:53:00:00:03", "10.77.0.22", PlanOutcome::Rejected, 42},
        {"02:4C:53:00:00:04", "10.77.0.23", PlanOutcome::NoAnswer, 0},
        {"02:4C:53:00:00:05", "10.77.0.24", PlanOutcome::NotVerified, 0},
        {"02:4C:53:00:00:06", "10.77.0.25", PlanOutcome::NotSent, 0},
        {"02:4C:53:00:00:07", "10.77.0.26", PlanOutcome::NotVerified, 0, true},
    };
    std::ostringstream table, json, csv;
    WritePlanReport(table, rows, ReportFormat::Table);
    WritePlanReport(json, rows, ReportFormat::Json);
    WritePlanReport(csv, rows, ReportFormat::Csv);
    EXPECT_EQ(table.str(), "MAC                IP          OUTCOME\n"
                           "02:4C:53:00:00:01  10.77.0.20  verified\n"
                           "02:4C:53:00:00:02  -           rejected: result 5 (Failed. login failed)\n"
                           "02:4C:53:00:00:03  10.77.0.22  rejected: result 42\n"
                           "02:4C:53:00:00:04  10.77.0.23  no-answer\n"
                           "02:4C:53:00:00:05  10.77.0.24  not-verified\n"
                           "02:4C:53:00:00:06  10.77.0.25  not-sent\n"
                           "02:4C:53:00:00:07  10.77.0.26  not-verified (answered twice, differently)\n");
    EXPECT_EQ(json.str(),
              "[\n"
              "  {\"mac\": \"02:4C:53:00:00:01\", \"ip\": \"10.77.0.20\", \"outcome\": \"verified\"},\n"
              "  {\"mac\": \"02:4C:53:00:00:02\", \"ip\": null, \"outcome\": \"rejected\", \"result\": 5, "
              "\"message\": \"Failed. login failed\"},\n"
              "  {\"mac\": \"02:4C:53:00:00:03\", \"ip\": \"10.77.0.22\", \"outcome\": \"rejected\", \"result\": 42, "
              "\"message\": null},\n"
              "  {\"mac\": \"02:4C:53:00:00:04\", \"ip\": \"10.77.0.23\", \"outcome\": \"no-answer\"},\n"
              "  {\"mac\": \"02:4C:53:00:00:05\", \"ip\": \"10.77.0.24\", \"outcome\": \"not-verified\"},\n"
              "  {\"mac\": \"02:4C:53:00:00:06\", \"ip\": \"10.77.0.25\", \"outcome\": \"not-sent\"},\n"
              "  {\"mac\": \"02:4C:53:00:00:07\", \"ip\": \"10.77.0.26\", \"outcome\": \"not-verified\", "
              "\"reason\": \"answered twice, differently\"}\n"
              "]\n");
    EXPECT_EQ(csv.str(), "MAC,IP,OUTCOME\n"
                         "02:4C:53:00:00:01,10.77.0.20,verified\n"
                         "02:4C:53:00:00:02,,rejected: result 5 (Failed. login failed)\n"
                         "02:4C:53:00:00:03,10.77.0.22,rejected: result 42\n"
                         "02:4C:53:00:00:04,10.77.0.23,no-answer\n"
                         "02:4C:53:00:00:05,10.77.0.24,not-verified\n"
                         "02:4C:53:00:00:06,10.77.0.25,not-sent\n"
                         "02:4C:53:00:00:07,10.77.0.26,\"not-verified (answered twice, differently)\"\n");
    const char *statuses[] = {"verified",  "rejected (Failed. login failed)", "rejected (result 42)",
                              "no answer", "not verified",                    "not sent",
                              "not verified (answered twice, differently)"};
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(StatusText(rows[i]), statuses[i]);
}

TEST(Output, FormatNames)
{
    std::string error;
    EXPECT_EQ(ParseListFormat("txt", error), ListFormat::Txt);
    EXPECT_EQ(ParseReportFormat("json", error), ReportFormat::Json);
    EXPECT_EQ(error, "");
    EXPECT_FALSE(ParseReportFormat("txt", error));
    EXPECT_EQ(error, "unknown report format \"txt\": use table, json or csv");
    EXPECT_FALSE(ParseListFormat("JSON", error));
    EXPECT_EQ(error, "unknown list format \"JSON\": use table, csv, json or txt");
}

// --- Plan files -----------------------------------------------------------------------

// A file is read up to the bound; one byte more is refused by the file's size, never
// cut off. A folder is refused by its kind.
TEST(InputFile, AFileIsReadUpToTheBoundAndRefusedPastIt)
{
    constexpr std::size_t kBound = 1000;
    const struct {
        std::size_t size;
        const char *error; // "" when read whole
    } cases[] = {
        {kBound, ""},
        {kBound + 1, "it is 1001 bytes, more than the 1000 bytes read at most"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.size);
        const InputFile read = ReadBoundedFile(TempFile("bound", std::string(c.size, 'x')).Path(), kBound, InputKinds::FilesAndPipes);
        EXPECT_EQ(read.bytes.has_value(), *c.error == '\0');
        EXPECT_EQ(read.bytes.value_or("").size(), *c.error ? 0 : c.size);
        EXPECT_NE(read.error.find(c.error), std::string::npos) << read.error;
    }
    const std::string folder = ::testing::TempDir();
    EXPECT_EQ(ReadBoundedFile(folder, kBound, InputKinds::FilesAndPipes).error,
              "cannot read " + folder + ": it is a folder, not " + KindsRead(InputKinds::FilesAndPipes));
}

// --- Secrets ------------------------------------------------------------------------

TEST(Secrets, FileGivesItsFirstLineBytesExactly)
{
    const struct {
        const char *name;
        std::string bytes;
        const char *secret; // nullptr: refused
        const char *reason;
    } cases[] = {
        {"lf", "pass word\nsecond\n", "pass word", ""},
        {"crlf", "p&%#\xE9 \r\nsecond\r\n", "p&%#\xE9 ", ""},
        {"no-line-end", " lead\ttrail ", " lead\ttrail ", ""},
        {"empty", "", nullptr, "is empty"},
        {"empty-first-line", "\r\nsecond\n", nullptr, "is empty"},
        {"utf16", std::string("p\0w\0\n\0", 6), nullptr, "NUL byte"},
        {"endless", std::string(5000, 'x'), nullptr, "longer than 4096 bytes"},
    };
    for (const auto &c : cases) {
        const Secret secret = ReadSecretFile(TempFile(c.name, c.bytes).Path());
        EXPECT_EQ(secret.value.value_or("(refused)"), c.secret ? c.secret : "(refused)") << c.name;
        EXPECT_NE(secret.error.find(c.reason), std::string::npos) << c.name << ": " << secret.error;
    }
    // The system's reason follows the path, on the same line.
    const std::string missingPath = ::testing::TempDir() + "lanscout-no-such-folder/password";
    const Secret missing = ReadSecretFile(missingPath);
    EXPECT_FALSE(missing.value);
    const std::string prefix = "cannot read " + missingPath + ": ";
    EXPECT_EQ(missing.error.rfind(prefix, 0), 0u) << missing.error;
    EXPECT_GT(missing.error.size(), prefix.size()) << missing.error;
    EXPECT_EQ(missing.error.find_first_of("\r\n"), std::string::npos) << missing.error;
}

TEST(Secrets, NewPasswordFromAFileHasEightToThirtyCharacters)
{
    for (const std::size_t length : {7u, 8u, 30u, 31u}) {
        const Secret secret = ObtainNewPassword(TempFile("new", std::string(length, 'n') + "\n").Path());
        EXPECT_EQ(secret.value.has_value(), length >= 8 && length <= 30) << length << ": " << secret.error;
    }
}

TEST(Options, ValuesFlagsAndPositionalsOrTheReason)
{
    const std::vector<OptionRule> rules{{"user", true}, {"yes", false}};
    const struct {
        std::vector<std::string> args;
        const char *parsed; // positionals | user | yes, or the error
    } cases[] = {
        {{"02:00:00:00:00:01", "--user", "admin", "--yes"}, "02:00:00:00:00:01|admin|yes"},
        {{"--user=a=b", "x", "y"}, "x,y|a=b|"},
        {{"--user", "--yes"}, "|--yes|"}, // a value may look like an option
        {{"--", "--yes", "-"}, "--yes,-||"},
        {{"--user"}, "option '--user' needs a value"},
        {{"--yes=1"}, "option '--yes' takes no value"},
        {{"--yes", "--yes"}, "option '--yes' given twice"},
        {{"--password", "secret"}, "unknown option '--password'"},
        {{"-u", "admin"}, "unknown option '-u'"},
    };
    for (const auto &c : cases) {
        std::string error;
        const std::optional<ParsedOptions> parsed = ParseOptions(c.args, rules, error);
        std::string got = error;
        if (parsed) {
            for (const std::string &positional : parsed->positional)
                got.append(got.empty() ? "" : ",").append(positional);
            got.append("|").append(parsed->Value("user").value_or(""));
            got.append("|").append(parsed->flags.count("yes") ? "yes" : "");
        }
        EXPECT_EQ(got, c.parsed) << c.args.front();
    }
}
