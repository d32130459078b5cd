// Assign Addresses without a window: the batch part sends a plan to camsim's cameras
// through the search's session, verifies each camera by a new search, shows each verdict
// in the list, and stops sending on Cancel; a plan with a problem sends nothing.
#include "site/AssignAddresses.h"
#include "tests/lab/CamsimProcess.h"
#include "tests/lab/LabFile.h"
#include "tests/lab/ScriptedUser.h"
#include "tests/lab/SearchWithoutWindow.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr int kSiteCameras = 50;
const std::string kSitePassword = "Site-pass-1";
const std::string kOtherPasswordMac = "02:00:00:00:07:32"; // answers to another password
const std::string kKeepsSettingsMac = "02:00:00:00:07:33"; // says yes and keeps its settings
const std::string kFactoryMac = "02:00:00:00:07:34";       // still on the factory login
constexpr std::size_t kCameras = kSiteCameras + 3;

std::string MacOfCamera(int i)
{
    char mac[18];
    std::snprintf(mac, sizeof mac, "02:00:00:00:07:%02X", i);
    return mac;
}

// The site's cameras on 10.77.0.20 onwards, then the three odd ones.
std::string CameraFile()
{
    std::string file;
    for (int i = 0; i < int(kCameras); ++i) {
        file += "[camera]\nmac = " + MacOfCamera(i) + "\nip = 10.77.0." + std::to_string(20 + i) + "\n";
        if (MacOfCamera(i) == kOtherPasswordMac)
            file += "password = Other-pass-9\n";
        else if (MacOfCamera(i) != kFactoryMac)
            file += "password = " + kSitePassword + "\n";
        if (MacOfCamera(i) == kKeepsSettingsMac)
            file += "keeps_settings = yes\n";
    }
    return file;
}

class Batch : public ::testing::Test, private ITickTimer {
protected:
    void SetUp() override
    {
        camsim = std::make_unique<CamsimProcess>(std::vector<std::string>{"--config", m_cameraFile.Path()});
        auto socket = std::make_unique<CDatagramSocket>();
        m_receiver = socket.get();
        ASSERT_TRUE(search.Open(std::move(socket)));
        search.ChooseAdapter(CamsimProcess::ToolAddress());
        batch.SetProgressHandler([this](const BatchProgress &progress) { onProgress(progress); });
        ASSERT_TRUE(search.Search());
        ServeUntil([&] { return !search.IsSearching(); });
        ASSERT_EQ(listed.ListedDeviceCount(), kCameras);
        user.yesNoAnswer = ANSWER_NO; // the factory-login camera keeps its password
    }

    // Handles the replies and results as the window's event loop does, with the
    // batch's ticks, until done or a minute has passed.
    void ServeUntil(const std::function<bool()> &done)
    {
        const auto end = std::chrono::steady_clock::now() + 60s;
        while (!done() && std::chrono::steady_clock::now() < end) {
            if (m_receiver->WaitForDatagram(10ms))
                search.HandleDatagram();
            if (m_tickDue && std::chrono::steady_clock::now() >= *m_tickDue) {
                m_tickDue.reset();
                m_tick();
            }
        }
    }

    // Applies the plan and serves it to its end; each camera's Status by MAC, as the list
    // shows it.
    std::map<std::string, std::string> ApplyToEnd(const CheckedPlan &plan)
    {
        EXPECT_TRUE(batch.Apply(plan, {"admin", kSitePassword})) << user.messages.size();
        ServeUntil([&] { return !batch.IsRunning(); });
        EXPECT_FALSE(batch.IsRunning());
        std::map<std::string, std::string> statuses;
        for (int row = 0; row < listed.Count(); ++row)
            statuses[listed.CellText(row, CDeviceList::kMacColumn)] = listed.CellText(row, CDeviceList::kStatusColumn);
        EXPECT_EQ(statuses.size(), batch.Report().size());
        return statuses;
    }

    CheckedPlan FormPlan(const std::string &start)
    {
        return PlanFromForm({start, "255.255.252.0", "", "", "", IP_MODE_STATIC}, listed.Cameras(), listed.Cameras());
    }

    // The set-configuration commands camsim took; what the batch sent before the
    // search that ended it arrived before that search's replies.
    int CommandsTaken() const { return camsim->CountLog("set-config mac="); }

    lab::LabFile m_cameraFile{CameraFile()};
    std::unique_ptr<CamsimProcess> camsim;
    CDeviceList listed;
    CScriptedUser user;
    NoDisplay m_display;
    ShortClock m_clock;
    CDeviceSearch search{listed, m_display, user, m_clock};
    CAssignAddresses batch{search, listed, user, *this};
    std::function<void(const BatchProgress &)> onProgress = [](const BatchProgress &) {};

private:
    // The batch's ticks, run by ServeUntil; the batch awaits one at a time.
    void CallAfter(std::chrono::milliseconds after, std::function<void()> fn) override
    {
        m_tickDue = std::chrono::steady_clock::now() + after;
        m_tick = std::move(fn);
    }

    CDatagramSocket *m_receiver = nullptr;
    std::optional<std::chrono::steady_clock::time_point> m_tickDue;
    std::function<void()> m_tick;
};

} // namespace

TEST_F(Batch, FiftyCamerasAreAddressedAndEachVerdictIsWhatTheCameraDid)
{
    const CheckedPlan plan = FormPlan("10.77.1.10");
    ASSERT_EQ(plan.problems, std::vector<std::string>{});
    const std::map<std::string, std::string> statuses = ApplyToEnd(plan);

    int verified = 0;
    for (const auto &[mac, status] : statuses)
        verified += status == "verified";
    EXPECT_EQ(verified, kSiteCameras);
    EXPECT_EQ(statuses.at(kOtherPasswordMac).rfind("rejected (", 0), 0u) << statuses.at(kOtherPasswordMac);
    EXPECT_EQ(statuses.at(kKeepsSettingsMac), "not verified");
    EXPECT_EQ(statuses.at(kFactoryMac), "not sent");
    // The factory-login camera was named to the user and sent nothing.
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_NE(user.messages[0].find(kFactoryMac), std::string::npos) << user.messages[0];
    EXPECT_EQ(camsim->CountLog("set-config mac=" + kFactoryMac), 0);
    EXPECT_EQ(CommandsTaken(), int(kCameras) - 1);
    // Every address is one of the plan's, from the start address up.
    for (const Camera &camera : listed.Cameras()) {
        if (statuses.at(camera.mac) == "verified") {
            EXPECT_EQ(camera.ip.rfind("10.77.1.", 0), 0u) << camera.ip;
        }
    }
}

TEST_F(Batch, CancelMidwaySendsNoFurtherCommand)
{
    onProgress = [&](const BatchProgress &progress) {
        if (progress.stage == BatchProgress::Stage::Sending && progress.settled >= 10)
            batch.Cancel();
    };
    const std::map<std::string, std::string> statuses = ApplyToEnd(FormPlan("10.77.1.10"));

    int notSent = 0;
    for (const auto &[mac, status] : statuses)
        notSent += status == "not sent";
    EXPECT_GE(notSent, int(kCameras) - 10 - int(kBatchConcurrency) - 1);
    EXPECT_EQ(CommandsTaken(), int(kCameras) - notSent);
}

TEST_F(Batch, APlanWithAProblemIsRefusedWithNothingSent)
{
    const std::string twice = "mac,ip\n" + MacOfCamera(0) + ",10.77.1.10\n" + MacOfCamera(1) + ",10.77.1.10\n";
    const struct {
        const char *name;
        CheckedPlan plan;
        const char *problem;
    } cases[] = {
        {"one address twice", PlanFromCsv(twice, listed.Cameras()), "line 3: ip 10.77.1.10 is planned on line 2"},
        {"past the subnet's end", FormPlan("10.77.3.250"), "the subnet has 5 free addresses"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.plan.problems.empty());
        EXPECT_NE(c.plan.problems.front().find(c.problem), std::string::npos) << c.plan.problems.front();
        EXPECT_FALSE(batch.Apply(c.plan, {"admin", kSitePassword}));
        EXPECT_FALSE(batch.IsRunning());
    }
    // A reboot with a wrong login, sent after the refusals, is the fence.
    search.SendToEach(DISCOVERY_REBOOT, {listed.Cameras().front()}, {"fence", "fence"});
    ASSERT_TRUE(camsim->WaitForLog("result=login-failed", 10000));
    EXPECT_EQ(CommandsTaken(), 0);
}
