// The bounded sending of a batch's commands without a network: a channel that notes
// what was sent and answers when the test says, and a clock the test moves.
#include "discovery/RecordCamera.h"
#include "discovery/SettingsSender.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kConcurrency = 3;
constexpr std::chrono::milliseconds kTimeout = 10s;
const CSettingsSender::Clock::time_point kStart{};

class ScriptedChannel final : public ISetConfigChannel {
public:
    bool SendSetConfig(const DISCOVERY_DATA &command) override
    {
        const std::string mac = SlotText(command.szMAC);
        if (refused.count(mac))
            return false;
        sent.push_back(mac);
        return true;
    }
    std::optional<std::int32_t> TakeSetConfigResult(const std::string &mac) override
    {
        const auto result = results.find(mac);
        if (result == results.end())
            return std::nullopt;
        const std::int32_t taken = result->second;
        results.erase(result);
        return taken;
    }
    void ForgetSetConfigResult(const std::string &mac) override { forgotten.push_back(mac); }

    std::vector<std::string> sent;
    std::map<std::string, std::int32_t> results; // come when the test puts them here
    std::set<std::string> refused;               // do not leave
    std::vector<std::string> forgotten;
};

std::string MacOf(int n)
{
    return "02:00:00:00:00:" + std::string(n < 10 ? "0" : "") + std::to_string(n);
}

std::vector<SettingsOrder> Orders(int count)
{
    std::vector<SettingsOrder> orders;
    for (int n = 0; n < count; ++n) {
        DISCOVERY_DATA reply = ZeroRecord();
        reply.nType = DISCOVERY_REPLY;
        WriteSlotText(reply.szMAC, MacOf(n));
        orders.push_back({CameraFromRecord(reply), {}, {"admin", "Site-pass-1"}});
    }
    return orders;
}

} // namespace

// At most kConcurrency await their results; each result makes room for the next, and
// each command waits its own timeout from when it left.
TEST(SettingsSender, BoundAndDeadlines)
{
    ScriptedChannel channel;
    CSettingsSender sender(channel, Orders(7), kConcurrency, kTimeout);
    sender.Advance(kStart);
    EXPECT_EQ(channel.sent, (std::vector<std::string>{MacOf(0), MacOf(1), MacOf(2)}));
    EXPECT_EQ(sender.NextDeadline(), kStart + kTimeout);

    channel.results[MacOf(1)] = 0;
    sender.Advance(kStart + 1s);
    EXPECT_EQ(channel.sent.size(), 4u) << "one answer, one more sent";
    EXPECT_EQ(sender.Settled(), 1u);
    EXPECT_TRUE(sender.Awaits(MacOf(3)));
    EXPECT_FALSE(sender.Awaits(MacOf(1)));

    sender.Advance(kStart + kTimeout - 1ms);
    EXPECT_TRUE(channel.forgotten.empty()) << "nothing is given up before its time";
    sender.Advance(kStart + kTimeout);
    EXPECT_EQ(channel.forgotten, (std::vector<std::string>{MacOf(0), MacOf(2)}));
    EXPECT_EQ(channel.sent.size(), 6u);
    EXPECT_EQ(sender.NextDeadline(), kStart + 1s + kTimeout) << "the camera sent after the answer";

    sender.Advance(kStart + 2 * kTimeout);
    EXPECT_EQ(channel.sent.size(), 7u) << "the last leaves once the others are given up";
    EXPECT_FALSE(sender.Finished());
    sender.Advance(kStart + 3 * kTimeout);
    EXPECT_TRUE(sender.Finished());
    EXPECT_EQ(sender.Settled(), 7u);
    const std::vector<std::optional<std::int32_t>> &results = sender.Results();
    EXPECT_EQ(std::count(results.begin(), results.end(), std::nullopt), 6) << "no answer for all but one";
    EXPECT_EQ(results[1], 0);
}

// Cancel sends nothing more, yet the commands already sent still take their results.
// A command that cannot leave, or a camera no record describes, settles at once unsent.
TEST(SettingsSender, CancelAndUnsentCommands)
{
    ScriptedChannel channel;
    channel.refused.insert(MacOf(1));
    std::vector<SettingsOrder> orders = Orders(6);
    orders[2].camera.origin.reset(); // found by no record: nothing to build a command from
    CSettingsSender sender(channel, std::move(orders), kConcurrency, kTimeout);
    sender.Advance(kStart);
    EXPECT_EQ(channel.sent, (std::vector<std::string>{MacOf(0), MacOf(3), MacOf(4)}));
    EXPECT_EQ(sender.Settled(), 2u);
    EXPECT_EQ(sender.Sent(), (std::vector<bool>{true, false, false, true, true, false}));

    sender.Cancel();
    channel.results[MacOf(0)] = RESULT_LOGIN_FAILED;
    sender.Advance(kStart + 1s);
    EXPECT_EQ(channel.sent.size(), 3u) << "nothing leaves after Cancel";
    EXPECT_EQ(sender.Results()[0], RESULT_LOGIN_FAILED);
    EXPECT_FALSE(sender.Finished()) << "two commands still await their results";
    sender.Advance(kStart + kTimeout);
    EXPECT_TRUE(sender.Finished());
    EXPECT_EQ(sender.Settled(), 5u) << "the one never sent after Cancel is not settled";
}
