// lanscout-cli's apply keeps at most --concurrency set-configuration commands waiting for
// their results. camsim holds every result back, so that the commands that are waiting
// at once stay waiting long enough to be counted. camsim's one discovery thread writes a
// command's set-config line when it takes the command and its result line when the
// result leaves, so the log, read in order, tells how many were waiting at each moment.
#include "tests/lab/CamsimProcess.h"
#include "tests/lab/CliProcess.h"
#include "tests/lab/LabFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kCameras = 8;
constexpr int kConcurrency = 2;
constexpr const char *kResultDelayMs = "300";
constexpr int kLogTimeoutMs = 10000;

struct Waiting {
    int most = 0;     // commands taken and not answered at one moment
    int commands = 0; // taken in all
    std::string timeline;
};

// The log line's event, after its time stamp.
std::string_view EventOf(const std::string &line)
{
    const std::size_t space = line.find(' ');
    return space == std::string::npos ? std::string_view() : std::string_view(line).substr(space + 1);
}

Waiting WaitingCommands(const std::vector<std::string> &log)
{
    Waiting waiting;
    int now = 0;
    for (const std::string &line : log) {
        const std::string_view event = EventOf(line);
        if (event.starts_with("set-config mac=")) {
            ++waiting.commands;
            waiting.most = std::max(waiting.most, ++now);
        } else if (event.starts_with("result mac=")) {
            --now;
        } else {
            continue;
        }
        waiting.timeline += line + "\n";
    }
    return waiting;
}

TEST(CliConcurrency, ApplyKeepsAtMostConcurrencyCommandsWaiting)
{
    CamsimProcess camsim({"--cameras", std::to_string(kCameras), "--first-ip", CamsimProcess::FirstCameraAddress(),
                          "--result-delay-ms", kResultDelayMs});
    lab::LabFile plan(MovePlan(kCameras));
    const CliResult apply = RunCli({"apply", plan.Path(), "--user", "admin", "--concurrency",
                                    std::to_string(kConcurrency)},
                                   {{"LANSCOUT_PASSWORD", "vqxnt"}});
    ASSERT_EQ(apply.status, 0) << apply.err << apply.out;
    ASSERT_TRUE(camsim.WaitForLog(" result mac=", kLogTimeoutMs, kCameras));

    const Waiting waiting = WaitingCommands(camsim.LogLines());
    EXPECT_EQ(waiting.commands, kCameras) << waiting.timeline;
    EXPECT_LE(waiting.most, kConcurrency) << waiting.timeline;
    EXPECT_GT(waiting.most, 1) << "the commands never overlapped, so the limit was not put to the test\n"
                               << waiting.timeline;
}

} // namespace
