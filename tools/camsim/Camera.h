#pragma once
// One simulated camera: its network settings, identity texts and login.

#include <cstdint>
#include <string>
#include <vector>

inline constexpr const char *kFactoryUser = "admin";
inline constexpr const char *kFactoryPassword = "vqxnt";

struct CameraSettings {
    std::string ip;
    std::string mask = "255.255.252.0";
    std::string gateway = "10.77.0.1";
    std::string dns = "10.77.0.1";
    std::int32_t ipMode = 0; // 0 static, 1 DHCP
    std::uint16_t httpPort = 80;
    std::uint16_t dataPort = 4520;
    std::uint16_t rtspPort = 554;
    std::uint16_t audioRecvPort = 4522;
    std::uint16_t audioSendPort = 4521;
    bool https = false;
    std::string user = kFactoryUser;
    std::string password = kFactoryPassword;
};

struct Camera {
    std::string mac;
    std::string model;
    std::string firmware;
    CameraSettings settings;
    CameraSettings factory;       // what a factory reset brings back
    std::int64_t silentUntilMs = 0; // rebooting until then
};

// Cameras at firstIp, firstIp+1, ... with generated MACs and a mix of models,
// firmware, address modes and HTTPS flags. Throws std::invalid_argument.
std::vector<Camera> GenerateCameras(int count, const std::string &firstIp);

// Cameras from an INI file: one [camera] section each, keys as in README.md.
// Throws std::runtime_error with the file's line number on a bad entry.
std::vector<Camera> LoadCameras(const std::string &path);

// True for a dotted-quad IPv4 address text.
bool IsIpv4Text(const std::string &text);
