// The site's search with a second discovery protocol, without a network: a loopback
// provider stands in for it, and the maker's own sweep runs its course sending nothing.
#include "discovery/RecordCamera.h"
#include "inventory/DeviceList.h"
#include "site/DeviceSearch.h"
#include "tests/lab/ScriptedUser.h"
#include "tests/lab/SearchWithoutWindow.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

namespace {

// A second protocol in twenty lines: each sweep finds the cameras it was given, twice
// over, as protocols that answer more than once do.
class CLoopbackProvider final : public ICameraProvider {
public:
    explicit CLoopbackProvider(std::vector<Camera> cameras) : m_cameras(std::move(cameras)) {}

    void Sweep(const std::string & /*adapterAddress*/, const std::function<void(const Camera &)> &found,
               const std::function<bool()> &stopped) override
    {
        for (int pass = 0; pass < 2 && !stopped(); ++pass)
            for (const Camera &camera : m_cameras)
                found(camera);
    }

private:
    std::vector<Camera> m_cameras;
};

Camera LoopbackCamera(const std::string &mac, const std::string &ip)
{
    Camera camera;
    camera.protocol = "loopback";
    camera.identity = mac;
    camera.mac = mac;
    camera.ip = ip;
    camera.product = "Loop";
    return camera;
}

class NoPause final : public ISweepClock {
public:
    void Pause(std::chrono::milliseconds, CSweepStop &) override {}
};

} // namespace

// The provider's cameras are listed once each, beside the maker's, in the list every view
// reads; a camera is told apart by its protocol as well as its identity.
TEST(SiteSearch, ASecondProtocolsCamerasAreListedOnceEach)
{
    CDeviceList list;
    NoDisplay display; // the worker lists on its own thread: nothing else touches the list here
    CScriptedUser user;
    NoPause clock;
    CDeviceSearch search(list, display, user, clock);
    DISCOVERY_DATA reply = ZeroRecord();
    WriteSlotText(reply.szMAC, "02:00:00:00:00:01");
    WriteSlotText(reply.szIP, "10.77.0.10");
    const Camera maker = CameraFromRecord(reply);
    // The maker's camera as the other protocol names it: the same MAC, another protocol.
    Camera twin = LoopbackCamera("02:00:00:00:00:01", "10.77.0.10");
    twin.identity = maker.identity;
    search.AddProvider(std::make_unique<CLoopbackProvider>(
        std::vector<Camera>{LoopbackCamera("02:00:00:00:00:0A", "10.77.0.20"), twin}));
    list.ListDevice(maker); // left from the last search: the new one empties the list

    ASSERT_TRUE(search.Search());
    for (int waited = 0; search.IsSearching() && waited < 5000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_FALSE(search.IsSearching());

    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.CellText(0, CDeviceList::kMacColumn), "02:00:00:00:00:0A");
    EXPECT_EQ(list.CellText(1, CDeviceList::kIpColumn), "10.77.0.10");
    EXPECT_EQ(list.CameraAt(1)->protocol, "loopback");
    EXPECT_FALSE(list.IsDeviceListed(kDiscoveryProtocol, maker.identity)) << "the maker's camera is not the twin";
    list.ListDevice(maker);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(search.DroppedReplies(), 0u);
    EXPECT_TRUE(user.messages.empty());
}
