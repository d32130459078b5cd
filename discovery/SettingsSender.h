#pragma once
// A batch's set-configuration commands, sent with a bound on those awaiting their
// results and a deadline for each.

#include "camera/Camera.h"
#include "discovery/DiscoveryData.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Where the sender's commands go and their results come from: the discovery session, or
// a test's stand-in.
class ISetConfigChannel {
public:
    // Sends the command and awaits its result under its MAC; false when it did not leave.
    virtual bool SendSetConfig(const DISCOVERY_DATA &command) = 0;
    // The result that came for the camera, taken once; nothing while it is awaited.
    virtual std::optional<std::int32_t> TakeSetConfigResult(const std::string &mac) = 0;
    // Stops awaiting the camera's result.
    virtual void ForgetSetConfigResult(const std::string &mac) = 0;

protected:
    ~ISetConfigChannel() = default;
};

// One camera's change, with the login it is sent with.
struct SettingsOrder {
    Camera camera;
    SettingsChange change;
    CommandLogin login;
};

// Sends each camera its change through a channel (the session), at most `concurrency`
// of them awaiting their results at once, each for at most `timeout`; the channel stops
// awaiting a result given up on. It never waits itself: its owner calls Advance whenever
// a datagram was handled or a deadline passed, on the thread that handles the session's
// datagrams.
class CSettingsSender final {
public:
    using Clock = std::chrono::steady_clock;

    CSettingsSender(ISetConfigChannel &channel, std::vector<SettingsOrder> orders, std::size_t concurrency,
                    std::chrono::milliseconds timeout);

    // Takes the results that came, gives up on commands past their deadline, and sends
    // while fewer than `concurrency` are waiting.
    void Advance(Clock::time_point now = Clock::now());
    // No command leaves after this; those already sent are still awaited.
    void Cancel() { m_bCancelled = true; }
    bool Cancelled() const { return m_bCancelled; }
    // Nothing left to send and nothing awaited.
    bool Finished() const;
    // The earliest deadline of an awaited command; nothing when none is awaited.
    std::optional<Clock::time_point> NextDeadline() const;

    // Whether a sent command to this MAC still awaits its result.
    bool Awaits(const std::string &mac) const;

    std::size_t Count() const { return m_commands.size(); }
    // Commands answered, given up or failed to leave.
    std::size_t Settled() const { return m_nSettled; }
    const std::vector<std::optional<std::int32_t>> &Results() const { return m_results; }
    const std::vector<bool> &Sent() const { return m_sent; }

private:
    struct Waiting {
        std::size_t index;
        std::string mac;
        Clock::time_point deadline;
    };
    void TakeResults();
    void GiveUpOverdue(Clock::time_point now);
    void SendWhileRoom(Clock::time_point now);

    ISetConfigChannel &m_channel;
    std::vector<std::optional<DISCOVERY_DATA>> m_commands; // none for a camera of another protocol
    std::size_t m_nConcurrency;
    std::chrono::milliseconds m_timeout;
    std::vector<std::optional<std::int32_t>> m_results;
    std::vector<bool> m_sent;
    std::vector<Waiting> m_waiting;
    std::size_t m_nNext = 0;
    std::size_t m_nSettled = 0;
    bool m_bCancelled = false;
};
