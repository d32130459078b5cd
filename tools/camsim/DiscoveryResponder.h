#pragma once
// The cameras' side of the discovery protocol on UDP port 40013: answers searches,
// applies network settings, reboots and resets. One socket serves every camera; each
// answer leaves from its camera's own address. The cameras are shared with the web
// side: every use of them holds the cameras' mutex.

#include "discovery/DiscoveryData.h"
#include "tools/camsim/Camera.h"
#include "tools/camsim/Log.h"
#include "tools/camsim/Options.h"

#include <netinet/in.h>

#include <cstdint>
#include <mutex>
#include <random>
#include <string>
#include <vector>

class DiscoveryResponder final {
public:
    DiscoveryResponder(std::vector<SimCamera> &cameras, std::mutex &camerasMutex, const Options &options, Log &log);
    ~DiscoveryResponder();
    DiscoveryResponder(const DiscoveryResponder &) = delete;
    DiscoveryResponder &operator=(const DiscoveryResponder &) = delete;

    // Binds 0.0.0.0:40013; false with a logged reason on failure.
    bool Open();
    int Handle() const { return m_socket; }
    // Reads and handles the datagrams waiting (a bounded batch; poll again for more).
    void OnReadable();
    // Brings rebooted cameras back and sends the answers whose time has come; returns
    // the milliseconds until the next such event, or -1 when none is pending.
    int Tick(std::int64_t nowMs);

private:
    struct Outgoing {
        std::int64_t dueMs;
        std::vector<char> bytes;
        std::string sourceIp;
        sockaddr_in to;
        std::string what; // the log line's start
    };

    void HandleRecord(const DISCOVERY_DATA &record, const sockaddr_in &from, std::int64_t nowMs);
    void AnswerSearch(const sockaddr_in &from, std::int64_t nowMs);
    void QueueMalformed(const sockaddr_in &to, std::int64_t dueMs);
    void HandleSetConfig(SimCamera &camera, const DISCOVERY_DATA &command, const sockaddr_in &from, std::int64_t nowMs);
    std::int32_t ApplySetConfig(SimCamera &camera, const DISCOVERY_DATA &command);
    void HandleReboot(SimCamera &camera, const DISCOVERY_DATA &command, std::int64_t nowMs);
    void HandleFactoryReset(SimCamera &camera, const DISCOVERY_DATA &command, std::int64_t nowMs);
    void WakeCameras(std::int64_t nowMs);
    // The earliest time a rebooting camera comes back, or -1.
    std::int64_t NextWake() const;
    void SendDue(std::int64_t nowMs);
    void SendFrom(const Outgoing &datagram);
    void Queue(const void *data, std::size_t length, const std::string &sourceIp, const sockaddr_in &to,
               std::int64_t dueMs, std::string what);

    std::vector<SimCamera> &m_cameras;
    std::mutex &m_camerasMutex;
    const Options &m_options;
    Log &m_log;
    int m_socket = -1;
    std::vector<Outgoing> m_outgoing; // in the order they were queued
    std::mt19937 m_random;
};
