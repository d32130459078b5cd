// lanscout-cli's web commands against cameras that prove nothing: a camera that asks for
// no login, one that redirects to HTTPS, one that says "ok" and keeps codec 3, and a
// refused login. check and password end with the status the manual gives, never 0.
#include "tests/lab/CamsimProcess.h"
#include "tests/lab/CliProcess.h"
#include "tests/lab/LabFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char *const kCameras = "[camera]\nmac = 02:00:00:00:07:00\nip = 10.77.0.10\nchannels = 3,1\n"
                             "http_behaviour = no-login\n"
                             "[camera]\nmac = 02:00:00:00:07:01\nip = 10.77.0.11\nhttp_behaviour = redirect\n"
                             "[camera]\nmac = 02:00:00:00:07:02\nip = 10.77.0.12\nchannels = 3,1\n"
                             "http_behaviour = keeps-codec\n"
                             "[camera]\nmac = 02:00:00:00:07:03\nip = 10.77.0.13\npassword = Site-pass-1\n";

TEST(CliWeb, NothingUnprovenIsReportedAsDone)
{
    lab::LabFile cameras(kCameras);
    CamsimProcess camsim({"--config", cameras.Path()});
    lab::LabFile newPassword("Fresh-pass-7\n");
    const struct {
        const char *what;
        std::vector<std::string> args;
        int status;
        const char *says;
    } cases[] = {
        {"check, no login asked", {"check", "10.77.0.10"}, 10, "asked for no login"},
        {"password, no login asked", {"password", "10.77.0.10", "--new-password-file", newPassword.Path()}, 10,
         "asked for no login"},
        {"check, redirected", {"check", "10.77.0.11"}, 8, "Fail."},
        {"password, redirected", {"password", "10.77.0.11", "--new-password-file", newPassword.Path()}, 8, "Fail."},
        {"check, codec kept", {"check", "10.77.0.12"}, 6, "channel 0 is still on codec 3"},
        {"check, login refused", {"check", "10.77.0.13"}, 5, "Unauthorized"},
        {"password, login refused", {"password", "10.77.0.13", "--new-password-file", newPassword.Path()}, 5,
         "Unauthorized"},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--user", "admin"});
        const CliResult run = RunCli(args, {{"LANSCOUT_PASSWORD", "vqxnt"}});
        EXPECT_EQ(run.status, c.status) << c.what << ": " << run.out << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.what << ": " << run.err;
        EXPECT_EQ(run.out, "") << c.what << ": nothing is reported done";
    }
}

} // namespace
