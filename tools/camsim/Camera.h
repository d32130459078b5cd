#pragma once
// The simulated cameras: identity texts, network settings, login, and the rules a
// camera applies to new network settings. Shared by every protocol camsim speaks.

#include <cstdint>
#include <string>
#include <vector>

inline constexpr const char *kFactoryUser = "admin";
inline constexpr const char *kFactoryPassword = "vqxnt";

struct NetworkSettings {
    std::int32_t ipMode = 0; // 0 static, 1 DHCP
    std::string ip;
    std::string mask;
    std::string gateway;
    std::string dns;
    std::uint16_t httpPort = 80;
    std::uint16_t dataPort = 4520;
    std::uint16_t rtspPort = 554;
    std::uint16_t audioRecvPort = 4522;
    std::uint16_t audioSendPort = 4521;
    bool https = false;
};

struct Login {
    std::string user = kFactoryUser;
    std::string password = kFactoryPassword;
};

struct Camera {
    std::string mac;
    std::string model;
    std::string firmware;
    NetworkSettings network;
    Login login;
    NetworkSettings factoryNetwork; // what a factory reset brings back, with the factory login
    std::int64_t silentUntilMs = -1; // rebooting until then; -1 when running
};

// Cameras at firstIp, firstIp+1, ... on a network of the given prefix length, with
// generated MACs and a mix of models, firmware, address modes, HTTP ports and HTTPS
// flags. Throws std::invalid_argument.
std::vector<Camera> GenerateCameras(int count, const std::string &firstIp, int prefixLength);

// Cameras from an INI file: one [camera] section each, keys as in README.md; a missing
// mask comes from the prefix length. Throws std::runtime_error naming file and line.
std::vector<Camera> LoadCameras(const std::string &path, int prefixLength);

// The result code a camera gives to proposed settings: 0 when it takes them,
// otherwise RESULT_INVALID_CONFIG, RESULT_INVALID_ADDRESS or RESULT_INVALID_PORT.
// Under DHCP the address texts are not looked at.
std::int32_t CheckNetworkSettings(const NetworkSettings &proposed, const Camera &camera,
                                  const std::vector<Camera> &cameras);

// Takes accepted settings. Under DHCP the simulated server leases the camera the
// address it has, so only the mode, the ports and the HTTPS flag change.
void ApplyNetworkSettings(Camera &camera, const NetworkSettings &accepted);

// Back to the delivered network settings and the factory login.
void RestoreFactorySettings(Camera &camera);

Camera *FindCamera(std::vector<Camera> &cameras, const std::string &mac);
