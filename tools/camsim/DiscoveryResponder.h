#pragma once
// The cameras' side of the discovery protocol: answers searches, applies network
// settings, reboots and resets, all on UDP port 40013.

#include "discovery/DiscoveryData.h"
#include "tools/camsim/Camera.h"
#include "tools/camsim/Log.h"
#include "tools/camsim/Options.h"

#include <netinet/in.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

class DiscoveryResponder final {
public:
    DiscoveryResponder(std::vector<Camera> &cameras, const Options &options, Log &log);
    ~DiscoveryResponder();
    DiscoveryResponder(const DiscoveryResponder &) = delete;
    DiscoveryResponder &operator=(const DiscoveryResponder &) = delete;

    // Binds 0.0.0.0:40013; false with a logged reason on failure.
    bool Open();
    int Handle() const { return m_socket; }
    // Reads and handles every datagram waiting.
    void OnReadable(std::int64_t nowMs);
    // Sends the answers whose time has come; returns ms until the next one, or -1.
    int SendDue(std::int64_t nowMs);

private:
    struct Pending {
        std::int64_t dueMs;
        std::vector<char> bytes;
        std::string sourceIp;
        sockaddr_in to;
    };

    void HandleDatagram(const char *data, std::size_t length, const sockaddr_in &from, std::int64_t nowMs);
    void AnswerSearch(const sockaddr_in &from, std::int64_t nowMs);
    void HandleSetConfig(Camera &camera, const DISCOVERY_DATA &command, const sockaddr_in &from, std::int64_t nowMs);
    void HandleReboot(Camera &camera, const DISCOVERY_DATA &command, std::int64_t nowMs);
    void HandleFactoryReset(Camera &camera, const DISCOVERY_DATA &command, std::int64_t nowMs);
    void QueueMalformed(const sockaddr_in &to, std::int64_t dueMs);
    void Queue(const void *data, std::size_t length, const std::string &sourceIp, const sockaddr_in &to, std::int64_t dueMs);
    void SendFrom(const Pending &datagram);
    Camera *FindCamera(const std::string &mac);
    bool LoginMatches(const Camera &camera, const DISCOVERY_DATA &command) const;

    std::vector<Camera> &m_cameras;
    const Options &m_options;
    Log &m_log;
    int m_socket = -1;
    std::vector<Pending> m_pending;
    std::mt19937 m_random;
};

// The reply a camera gives to a search.
DISCOVERY_DATA ReplyRecord(const Camera &camera);

// The result code a camera gives to a set-configuration command with a right login.
std::int32_t ValidateSettings(const DISCOVERY_DATA &command);
