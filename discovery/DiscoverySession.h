#pragma once
// One program's side of the discovery protocol, free of any window: the two sockets,
// the search sweep, the replies it lists and the commands to cameras. The window
// drives one; so can a command line, which waits for datagrams itself.
//
// Threads: RunSweep may run on a thread of its own (the window's search worker); every
// other operation belongs to one thread, the one that handles the datagrams. While a
// sweep runs, that thread sends no commands: the sweep has the send socket.

#include "camera/DeviceListing.h"
#include "discovery/DiscoveryData.h"
#include "discovery/DiscoverySendSocket.h"
#include "discovery/SettingsSender.h"
#include "platform/DatagramSocket.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Ends a sweep early: wakes its pause at once.
class CSweepStop final {
public:
    void Request();
    void Reset();
    bool Requested() const { return m_bRequested; }
    // Waits for the pause to pass, or less when a stop is requested.
    void Pause(std::chrono::milliseconds pause);

private:
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::atomic<bool> m_bRequested{false};
};

// The sweep's pacing: real time in the programs; tests may count the pauses instead.
class ISweepClock {
public:
    // Waits out one pause between searches, or less when the stop is requested.
    virtual void Pause(std::chrono::milliseconds pause, CSweepStop &stop) = 0;

protected:
    ~ISweepClock() = default;
};

// The real clock, shared by every session.
ISweepClock &SteadySweepClock();

// A command for the camera of a stored record: the record with its type and credential
// block replaced, so that it names the camera by the MAC the camera reported.
DISCOVERY_DATA MakeCommand(std::int32_t type, const DISCOVERY_DATA &stored, const CommandLogin &login);
// The set-configuration command: also the new settings written in, texts cut to 31 characters.
DISCOVERY_DATA MakeSetConfigCommand(const DISCOVERY_DATA &stored, const NetworkSettings &settings,
                                    const CommandLogin &login);
// The set-configuration command of a plan: only the changed settings written in, every
// other byte the stored record's.
DISCOVERY_DATA MakeChangeCommand(const DISCOVERY_DATA &stored, const SettingsChange &change, const CommandLogin &login);
// How a camera's text is put before the user: the window shows the bytes as they are,
// a terminal needs its control bytes escaped.
using TextForUser = std::string (*)(std::string_view text);
std::string TextAsItIs(std::string_view text);
// The question asked before a reboot or factory reset is sent: each camera's IP and MAC.
std::string ConfirmationText(std::int32_t type, const std::vector<Camera> &cameras, TextForUser shown = TextAsItIs);

// Why the sockets could not be opened: each socket's errno, 0 when it opened.
// EADDRINUSE on the receive port: another copy of the program is running.
struct SocketFailures {
    int receiveError = 0;
    int sendError = 0;
    bool Any() const { return receiveError != 0 || sendError != 0; }
};

// A command that did not leave: the index of its target, and why (an errno; EBADF
// without a send socket).
struct UnsentCommand {
    std::size_t target = 0;
    int error = 0;
};

// What one datagram on the reply port turned out to be.
struct HandledDatagram {
    enum class Kind {
        Ignored,         // nothing waiting, not a record, too long, or of no type acted on
        Reply,           // a camera's answer to a search, listed or not
        SetConfigResult, // a camera's answer to new network settings
        ReadFailed,      // the receive socket failed and is now closed
    };
    Kind kind = Kind::Ignored;
    std::string mac; // of the result, as the camera wrote it
};

class CDiscoverySession final : public ISetConfigChannel {
public:
    static constexpr int kSearchSends = 5;
    static constexpr std::chrono::milliseconds kSearchPause{1000};
    static constexpr std::uint32_t kMaxListedDevices = kMaxListedCameras;
    static constexpr std::chrono::milliseconds kCommandSpacing{10};

    explicit CDiscoverySession(IDeviceListing &listing, ISweepClock &clock = SteadySweepClock());
    CDiscoverySession(const CDiscoverySession &) = delete;
    CDiscoverySession &operator=(const CDiscoverySession &) = delete;

    // Opens the receive socket on port 40014, every local address, and the send socket
    // on port 40013, every local address; tries both. The receiver is a plain socket,
    // or one an event loop serves (the window's); one that failed is dropped.
    SocketFailures Open(std::unique_ptr<CDatagramSocket> receiver = std::make_unique<CDatagramSocket>());
    bool IsReceiving() const { return m_pReceiveSocket != nullptr; }
    // Stops the replies; the socket stays until Close.
    void CloseReceiveSocket();
    // Replaces the send socket by one bound to the adapter's address, so that the
    // broadcasts leave through that adapter; 0, or the error of the bind, with none left.
    int OpenSendSocket(const std::string &adapterAddress);
    void CloseSendSocket();
    bool CanSend() const { return m_pSendSocket && m_pSendSocket->IsOpen(); }
    // Drops both sockets, the receive socket first.
    void Close();

    // The sweep: replies that reach the socket from BeginSweep until the sweep ends
    // are listed, whenever they are handled.
    void BeginSweep();
    // Broadcasts kSearchSends searches, each followed by kSearchPause, unless stopped;
    // progress is told the number sent after each. Then ends the sweep. Without a send
    // socket it still runs its course.
    void RunSweep(const std::function<void(int sent)> &progress = {});
    void EndSweep();
    // From any thread: a running sweep ends at once.
    void StopSweep() { m_stop.Request(); }
    bool IsSweepStopped() const { return m_stop.Requested(); }
    bool ArrivedDuringSweep(std::chrono::steady_clock::time_point arrival) const;
    // Replies left out since the last call because the list was full.
    std::uint64_t TakeDroppedReplies();
    // The same, left for the next call to take.
    std::uint64_t DroppedReplies() const { return m_nDroppedReplies; }

    // Reads one datagram from the reply port and acts on it: lists a reply of the sweep,
    // settles an awaited set-configuration result.
    HandledDatagram HandleDatagram();
    // For callers without an event loop: see CDatagramSocket::WaitForDatagram.
    bool WaitForDatagram(std::chrono::milliseconds timeout);
    // Handles datagrams as they come until done() holds or the timeout has passed;
    // returns done(). done() is asked again after each datagram.
    bool HandleDatagramsUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout);

    // Broadcasts one command; false when no send socket is open or the send failed.
    bool SendCommand(const DISCOVERY_DATA &command);
    // Reboot or factory reset for each stored record in turn, kCommandSpacing apart;
    // the targets whose command did not leave, in order.
    std::vector<UnsentCommand> SendToEach(std::int32_t type, const std::vector<Camera> &targets,
                                          const CommandLogin &login);
    // Sends a set-configuration command and awaits its result under the command's MAC;
    // any number of results may be awaited at once, one per camera.
    bool SendSetConfig(const DISCOVERY_DATA &command) override;
    // The same for the panel's settings, sent to the camera: the camera as the command
    // describes it, which the list keeps; nothing for a camera of another protocol.
    std::optional<Camera> SendSettings(const Camera &camera, const NetworkSettings &settings,
                                       const CommandLogin &login);
    std::size_t AwaitedSetConfigResults() const;
    // The result that came for the camera, taken once; nothing while it is awaited or
    // when none was awaited.
    std::optional<std::int32_t> TakeSetConfigResult(const std::string &mac) override;
    // Stops awaiting the camera's result: one that still comes is nobody's.
    void ForgetSetConfigResult(const std::string &mac) override { m_setConfigResults.erase(mac); }

private:
    // 0 when the command left whole, else why not (an errno).
    int CommandSendError(const DISCOVERY_DATA &command);
    void SettleSetConfigResult(const DISCOVERY_DATA &result);

    IDeviceListing &m_listing;
    ISweepClock &m_clock;
    std::unique_ptr<CDatagramSocket> m_pReceiveSocket;
    std::unique_ptr<CDiscoverySendSocket> m_pSendSocket;

    // The running or last sweep. The end is written by the thread that runs it, in
    // steady-clock nanoseconds; kSweepOpen while it runs.
    static constexpr std::int64_t kSweepOpen = INT64_MAX;
    std::chrono::steady_clock::time_point m_sweepStart = std::chrono::steady_clock::time_point::max();
    std::atomic<std::int64_t> m_sweepEndNs{kSweepOpen};
    CSweepStop m_stop;
    std::uint64_t m_nDroppedReplies = 0;

    // MAC -> result: empty while awaited.
    std::map<std::string, std::optional<std::int32_t>> m_setConfigResults;
};
