// The window's search without a window: a scripted display plays the window thread,
// which the test's own thread is, and a scripted user reads the boxes. camsim plays the
// cameras; forged datagrams come from a plain socket of the test's own. No Qt.
//
// No test waits for silence: what must not happen is followed by a fence, a datagram
// from the same sender that must be handled after it.
#include "addressing/AddressBatch.h"
#include "discovery/RecordCamera.h"
#include "site/DeviceSearch.h"
#include "inventory/DeviceList.h"
#include "platform/DebugOutput.h"
#include "tests/lab/CamsimProcess.h"
#include "tests/lab/Forger.h"
#include "tests/lab/RecordBuilder.h"
#include "tests/lab/ScriptedUser.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using lab::AsData;
using lab::Forger;
using lab::GeneratedMac;
using lab::RecordOf;

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
constexpr auto kFenceTimeout = 10000ms;
const std::vector<std::string> kWholeSweep = {"wait shown", "controls locked", "wait hidden", "controls unlocked"};

lab::Record ResultOf(const std::string &mac, std::int32_t result)
{
    lab::Record r = RecordOf(lab::kSetConfig, mac);
    lab::PutI32(r, lab::at::kResult, result);
    return r;
}


// Sends the camera of that MAC a set-configuration command with a login no camera takes:
// it changes nothing, and its result is awaited.
void SendWrongLogin(CDeviceSearch &search, const std::string &mac)
{
    search.SendSettings(CameraFromRecord(AsData(lab::Command(lab::kSetConfig, mac, "fence", ""))), {}, {"fence", ""});
}

// The window thread, played by the test's: the worker's calls wait in a queue until the
// test serves it, as they wait for the window's event loop. Notes what the window is
// told to show, and whether it was told on its own thread.
class ScriptedDisplay final : public ISearchDisplay {
public:
    void CallOnDisplayThread(const std::function<void()> &fn) override
    {
        std::unique_lock lock(m_lock);
        const std::uint64_t ticket = ++m_posted;
        m_calls.push_back(fn);
        m_called.notify_all();
        m_ran.wait(lock, [&] { return m_served >= ticket; });
    }
    void ShowSearchWait(bool shown) override { Note(shown ? "wait shown" : "wait hidden"); }
    void EnableSearchControls(bool enable) override { Note(enable ? "controls unlocked" : "controls locked"); }
    void ServeDisplayThread() override { Serve(1ms); }
    void ListEmptiedForSearch() override { Note("list emptied"); }

    // Runs the calls that wait, after waiting up to `wait` for one.
    void Serve(std::chrono::milliseconds wait = 0ms)
    {
        std::unique_lock lock(m_lock);
        m_called.wait_for(lock, wait, [&] { return !m_calls.empty(); });
        while (!m_calls.empty()) {
            const std::function<void()> fn = std::move(m_calls.front());
            m_calls.pop_front();
            lock.unlock();
            fn();
            lock.lock();
            ++m_served;
            m_ran.notify_all();
        }
    }
    bool CallWaiting()
    {
        std::lock_guard lock(m_lock);
        return !m_calls.empty();
    }
    std::vector<std::string> Steps()
    {
        std::lock_guard lock(m_lock);
        return m_steps;
    }

private:
    void Note(const std::string &step)
    {
        std::lock_guard lock(m_lock);
        m_steps.push_back(std::this_thread::get_id() == m_thread ? step : step + " off the window thread");
    }

    const std::thread::id m_thread = std::this_thread::get_id();
    std::mutex m_lock;
    std::condition_variable m_called, m_ran;
    std::deque<std::function<void()>> m_calls;
    std::uint64_t m_posted = 0, m_served = 0;
    std::vector<std::string> m_steps;
};

// Holds a sweep in its first pause until the test lets it go on (or the sweep is
// stopped); the later pauses pass at once.
class HeldClock final : public ISweepClock {
public:
    void Pause(std::chrono::milliseconds, CSweepStop &stop) override
    {
        while (held && !stop.Requested())
            stop.Pause(5ms);
    }
    std::atomic<bool> held{true};
};

class Search : public ::testing::Test {
protected:
    // Opens the search on a plain socket, which the test then watches as the window's
    // event loop watches its own.
    bool Open(CDeviceSearch &s)
    {
        auto socket = std::make_unique<CDatagramSocket>();
        receiver = socket.get();
        return s.Open(std::move(socket));
    }

    // Opens the search and sweeps once through the lab's link, as the window's first
    // search does: commands then leave through that link (the lab has no default route).
    void OpenThroughTheLab()
    {
        ASSERT_TRUE(Open(search));
        held.held = false;
        ASSERT_TRUE(search.BeginSearch());
        search.RunSweepThrough(CamsimProcess::ToolAddress());
        ASSERT_TRUE(Pump([&] { return !search.IsSearching(); }));
        held.held = true;
    }

    // The window thread's loop: serves the worker's calls and hands the search each
    // datagram that waits, until done() holds.
    bool Pump(const std::function<bool()> &done, std::chrono::milliseconds timeout = kFenceTimeout)
    {
        const auto deadline = Clock::now() + timeout;
        while (!done() && Clock::now() < deadline) {
            display.Serve();
            if (receiver->WaitForDatagram(5ms))
                search.HandleDatagram();
        }
        return done();
    }

    // Awaits the result of a command to mac and has it come: once its box shows, every
    // datagram sent before it by the same sender has been handled. Takes the box out.
    void PassResultFence(const std::string &mac, const std::string &box, const std::function<void()> &send)
    {
        ASSERT_TRUE(search.CanSend());
        SendWrongLogin(search, mac);
        send();
        ASSERT_TRUE(Pump([&] { return !user.messages.empty() && user.messages.back() == box; }))
            << "the fence " << mac << " did not pass";
        user.messages.pop_back();
    }
    void PassForgedFence()
    {
        PassResultFence("fence", "Failed. Invalid config", [&] { forger.Send(ResultOf("fence", RESULT_INVALID_CONFIG)); });
    }
    // camsim answers in order from one socket: a wrong login for its camera 1.
    void PassCamsimFence() { PassResultFence(GeneratedMac(1), "Failed. login failed", [] {}); }

    std::vector<std::string> Column(int column) const
    {
        std::vector<std::string> texts;
        for (int row = 0; row < listed.Count(); ++row)
            texts.push_back(listed.CellText(row, column));
        return texts;
    }

    CDeviceList listed;
    ScriptedDisplay display;
    CScriptedUser user;
    HeldClock held;
    Forger forger;
    CDeviceSearch search{listed, display, user, held};
    CDatagramSocket *receiver = nullptr; // the search's; gone once it closes
};

int ThreadCount()
{
    int n = 0;
    for ([[maybe_unused]] const auto &task : std::filesystem::directory_iterator("/proc/self/task"))
        ++n;
    return n;
}

} // namespace

// The window's first search against five cameras that answer every search twice: each
// is listed once, numbered in the order they answered, and the window is told to show
// the wait box and lock its controls, then the reverse. A second search while the
// first runs is refused and changes nothing; one begun after it need not run for the
// window to close.
TEST_F(Search, ListsEachCameraOnceBetweenTheWaitBoxAndTheUnlock)
{
    CamsimProcess camsim({"--cameras", "5", "--first-ip", CamsimProcess::FirstCameraAddress(), "--repeat", "2"});
    ASSERT_TRUE(Open(search));
    ASSERT_TRUE(search.BeginSearch());
    search.RunSweepThrough(CamsimProcess::ToolAddress());
    ASSERT_TRUE(Pump([&] { return listed.Count() >= 5; })) << "the cameras did not answer";
    EXPECT_EQ(display.Steps(), (std::vector<std::string>{"wait shown", "controls locked"}));
    ASSERT_TRUE(search.IsSearching());
    EXPECT_FALSE(search.BeginSearch());
    EXPECT_TRUE(search.IsSearching());

    held.held = false;
    ASSERT_TRUE(Pump([&] { return !search.IsSearching(); }));
    EXPECT_EQ(display.Steps(), kWholeSweep);
    PassCamsimFence(); // the set-configuration result shows
    EXPECT_EQ(camsim.CountLog("recv search"), CDiscoverySession::kSearchSends) << "one sweep";
    EXPECT_EQ(Column(CDeviceList::kIndexColumn), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
    std::vector<std::string> macs;
    for (int n = 1; n <= 5; ++n)
        macs.push_back(GeneratedMac(n));
    EXPECT_EQ(Column(CDeviceList::kMacColumn), macs);
    EXPECT_TRUE(user.messages.empty());

    // A search that began after that sweep's end but never ran still lets the window close.
    ASSERT_TRUE(search.BeginSearch());
    search.Close();
}

// Results of new settings: only the awaited camera's is shown, once, and a result for
// another camera neither shows nor ends that wait. A result without a message ends its
// wait silently. Junk shows nothing and leaves the socket open.
TEST_F(Search, OnlyTheAwaitedResultIsShownOnce)
{
    OpenThroughTheLab();
    SendWrongLogin(search, "M1");
    SendWrongLogin(search, "M3");
    forger.Send(ResultOf("M2", RESULT_FAILED));
    forger.Send(lab::Record(600, 5)); // longer than a record
    forger.Send(lab::Record(10, 5));
    forger.Send(ResultOf("M1", RESULT_INVALID_PORT));
    forger.Send(ResultOf("M1", RESULT_LOGIN_FAILED));
    forger.Send(ResultOf("M3", 0));
    forger.Send(ResultOf("M3", RESULT_FAILED));
    PassForgedFence();
    EXPECT_EQ(user.messages, std::vector<std::string>{"Failed. Invalid port"});
}

// A search through an adapter that cannot be bound ends at once: the window is shown
// nothing, a reply that comes then is not listed, nothing can be sent, and the next
// search may begin.
TEST_F(Search, AdapterThatCannotBeBoundEndsTheSearchAtOnce)
{
    ASSERT_TRUE(Open(search));
    ASSERT_TRUE(search.BeginSearch());
    search.RunSweepThrough("10.99.99.99");
    EXPECT_FALSE(search.IsSearching());
    EXPECT_FALSE(search.CanSend());
    forger.Send(RecordOf(lab::kReply, "M1", "10.0.0.1"));
    // The only datagram sent: once handled, it was handled after the search's end.
    ASSERT_TRUE(receiver->WaitForDatagram(kFenceTimeout));
    search.HandleDatagram();
    EXPECT_EQ(listed.Count(), 0);
    display.Serve();
    EXPECT_TRUE(display.Steps().empty());
    EXPECT_TRUE(user.messages.empty());
    EXPECT_TRUE(search.BeginSearch());
}

// Another copy of the program holds the reply port.
TEST_F(Search, TakenReplyPortIsReported)
{
    CDatagramSocket other;
    ASSERT_TRUE(other.Create(DISCOVERY_RECV_PORT));
    EXPECT_FALSE(Open(search));
    EXPECT_EQ(user.messages,
              std::vector<std::string>{"Failed to create socket, please check if the utility already running."});
}

// Closing the window ends a sweep at once, on the real clock, whether the worker waits
// for the window thread (which then serves it) or sits in a pause; the closing window
// is shown nothing after that.
TEST_F(Search, CloseEndsASweepPromptly)
{
    for (const bool inPause : {false, true}) {
        SCOPED_TRACE(inPause ? "during a pause" : "while the worker waits for the window thread");
        ScriptedDisplay shown;
        CDeviceSearch sweeping(listed, shown, user);
        ASSERT_TRUE(Open(sweeping));
        ASSERT_TRUE(sweeping.BeginSearch());
        sweeping.RunSweepThrough(CamsimProcess::ToolAddress());
        const auto ready = [&] { return inPause ? shown.Steps().size() == 2 : shown.CallWaiting(); };
        for (const auto deadline = Clock::now() + kFenceTimeout; !ready() && Clock::now() < deadline;)
            inPause ? shown.Serve(5ms) : std::this_thread::yield();
        ASSERT_TRUE(ready());
        const auto start = Clock::now();
        sweeping.Close(); // serves the waiting call
        EXPECT_LT(Clock::now() - start, 500ms) << "a sweep lasts five seconds";
        EXPECT_FALSE(sweeping.IsSearching());
        shown.Serve();
        EXPECT_EQ(shown.Steps(), std::vector<std::string>(kWholeSweep.begin(), kWholeSweep.begin() + (inPause ? 2 : 1)));
    }
}

// A flood of distinct forged replies fills the list to its ceiling and no further. Until
// the next search the list is known to be incomplete, which stops any plan made against
// it; that search tells the developer how many the last one dropped.
TEST_F(Search, FloodStopsAtTheListsCeilingAndIsReported)
{
    constexpr std::uint32_t kCeiling = CDiscoverySession::kMaxListedDevices;
    OpenThroughTheLab();
    SendWrongLogin(search, "fence"); // awaited before the sweep takes the send socket
    ASSERT_TRUE(search.BeginSearch());
    search.RunSweepThrough("");
    for (std::uint32_t n = 0; n <= kCeiling; ++n) {
        char mac[24];
        char ip[24];
        std::snprintf(mac, sizeof mac, "02:FF:00:%02X:%02X:%02X", (n >> 16) & 0xFF, (n >> 8) & 0xFF, n & 0xFF);
        std::snprintf(ip, sizeof ip, "10.%u.%u.%u", (n >> 16) & 0xFF, (n >> 8) & 0xFF, n & 0xFF);
        forger.Send(RecordOf(lab::kReply, mac, ip));
        if (n % 100 == 99)
            std::this_thread::sleep_for(1ms); // the socket's reader drains the kernel
    }
    forger.Send(ResultOf("fence", RESULT_FAILED));
    ASSERT_TRUE(Pump([&] { return !user.messages.empty(); }, 120s)) << "the flood was not handled";
    EXPECT_EQ(user.messages, std::vector<std::string>{"Failed"});
    EXPECT_EQ(listed.Count(), int(kCeiling));

    held.held = false;
    ASSERT_TRUE(Pump([&] { return !search.IsSearching(); }));
    EXPECT_EQ(search.DroppedReplies(), 1u);
    EXPECT_TRUE(IncompleteSearchProblem(search.DroppedReplies())) << "a plan could be checked against this list";
    std::vector<std::string> debug;
    const DebugSink previous = SetDebugSink([&](std::string_view text) { debug.emplace_back(text); });
    ASSERT_TRUE(search.BeginSearch());
    SetDebugSink(previous);
    EXPECT_EQ(debug, std::vector<std::string>{"1 replies dropped: the device list holds at most 65536 devices"});
    search.RunSweepThrough(""); // a begun search must run, or closing waits for its end
}

// The search's send socket never reads: it keeps no reader thread, and what reaches
// its port is never handed up.
TEST(SendSocket, ReadsNothing)
{
    const int before = ThreadCount();
    CDiscoverySendSocket send;
    ASSERT_TRUE(send.Create(47013, "127.0.0.1"));
    EXPECT_EQ(ThreadCount(), before);
    CDatagramSocket fence;
    ASSERT_TRUE(fence.Create(47014, "127.0.0.1"));
    Forger forger;
    forger.Send(RecordOf(lab::kReply, "M1"), 47013);
    forger.Send(RecordOf(lab::kReply, "M2"), 47014);
    // Once the later datagram is on the fence socket, the earlier one has reached the
    // send socket's port too.
    ASSERT_TRUE(fence.WaitForDatagram(kFenceTimeout));
    char buffer[DISCOVERY_DATA_SIZE];
    std::string from;
    unsigned port = 0;
    EXPECT_EQ(send.ReceiveFrom(buffer, sizeof buffer, from, port), -1);
    EXPECT_EQ(send.GetLastError(), EWOULDBLOCK);
}
