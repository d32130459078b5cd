#pragma once
// The simulated cameras: identity texts, network settings, login, video channels, and
// the rules a camera applies to new settings. Shared by every protocol camsim speaks.

#include "tools/camsim/HttpBehaviour.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

inline constexpr const char *kFactoryUser = "admin";
inline constexpr const char *kFactoryPassword = "vqxnt";

struct SimNetwork {
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

enum VideoCodec : int { CODEC_H264 = 1, CODEC_H265 = 2, CODEC_MJPEG = 3 };

inline constexpr std::size_t kMaxChannels = 16;
inline constexpr std::size_t kCodecNameMaxChars = 19;

// One video stream of a camera, with the values its video settings page shows.
struct VideoChannel {
    int codec = CODEC_H264;
    std::string codecName = "H264";
    int width = 1920;
    int height = 1080;
    int framerate = 30;
    int bitrateMode = 0;
    int quality = 3;
    int h264Profile = 2;
    int lbrMode = 0;
    int h264ExtensionOption = 0;
    int gopSize = 30;
    int rtpMcastEnable = 0;
    int rtpMcastTtl = 5;
    int rtspTimeout = 60;
    int dscp = 0;
};

struct SimCamera {
    std::string mac;
    std::string model;
    std::string firmware;
    SimNetwork network;
    Login login;
    std::vector<VideoChannel> channels;
    std::set<std::size_t> lockedChannels;        // channels that refuse every new setting
    std::optional<HttpBehaviour> httpBehaviour;  // this camera's own, over --http-behaviour
    std::shared_ptr<const std::string> httpBody; // when set, the body of every page it serves
    bool keepsSettings = false; // answers a good set-config with 0 but changes nothing
    // What a factory reset brings back, with the factory login.
    SimNetwork factoryNetwork;
    std::vector<VideoChannel> factoryChannels;
    std::int64_t silentUntilMs = -1; // rebooting until then; -1 when running
};

// Cameras at firstIp, firstIp+1, ... on a network of the given prefix length, with
// generated MACs and a mix of models, firmware, address modes, HTTP ports and HTTPS
// flags. Throws std::invalid_argument.
std::vector<SimCamera> GenerateCameras(int count, const std::string &firstIp, int prefixLength);

// Cameras from an INI file: one [camera] section each, keys as in README.md; a missing
// mask comes from the prefix length. Throws std::runtime_error naming file and line.
std::vector<SimCamera> LoadCameras(const std::string &path, int prefixLength);

// The result code a camera gives to proposed settings: 0 when it takes them,
// otherwise RESULT_INVALID_CONFIG, RESULT_INVALID_ADDRESS or RESULT_INVALID_PORT.
// Under DHCP the address texts are not looked at.
std::int32_t CheckNetworkSettings(const SimNetwork &proposed, const SimCamera &camera,
                                  const std::vector<SimCamera> &cameras);

// Takes accepted settings. Under DHCP the simulated server leases the camera the
// address it has, so only the mode, the ports and the HTTPS flag change.
void ApplyNetworkSettings(SimCamera &camera, const SimNetwork &accepted);

// Back to the delivered network settings and channels, and the factory login.
void RestoreFactorySettings(SimCamera &camera);

// Channel number `channel` as a camera is delivered with it, using this codec.
VideoChannel DeliveredChannel(std::size_t channel, int codec);

// A channel's settings as key and value texts, in the order the video page lists them
// (resolution as WxH); the channel number is not one of them.
std::vector<std::pair<std::string, std::string>> ChannelSettings(const VideoChannel &channel);

// Takes one setting given as text (keys as ChannelSettings names them). False, with
// the channel unchanged, for an unknown key or a value that does not parse. A new
// codec brings its name along.
bool ApplyChannelSetting(VideoChannel &channel, const std::string &key, const std::string &value);

// A number written with decimal digits only, small enough for an int.
std::optional<int> ParseCount(const std::string &text);

SimCamera *FindCamera(std::vector<SimCamera> &cameras, const std::string &mac);
