#include "tools/camsim/Camera.h"

#include "discovery/DiscoveryData.h"
#include "platform/Ipv4.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <span>
#include <stdexcept>
#include <string_view>

namespace {

const char *const kModels[] = {"SIM-D2100", "SIM-B4200 Bullet", "SIM-P8400 PTZ", "SIM-F9100 Fisheye",
                               "SIM-M5300", "SIM-T6200 Thermal"};
const char *const kFirmware[] = {"2.10.03_20230512", "1.41.00_20211104", "2.21.01_20240109", "3.02.00_20250721"};

// Widths of the record's slots less their NUL: a longer text could not be carried.
constexpr std::size_t kMacChars = 23;
constexpr std::size_t kModelChars = 95;
constexpr std::size_t kFirmwareChars = 35;
// An http_body file is read whole at start; anything larger is surely a wrong path.
constexpr std::uintmax_t kMaxBodyFileBytes = 16 * 1024 * 1024;

// Numeric settings of a channel, in the order the video page lists them after the
// codec, its name and the resolution.
struct NumberSetting {
    const char *key;
    int VideoChannel::*field;
};
constexpr NumberSetting kNumberSettings[] = {
    {"framerate", &VideoChannel::framerate},
    {"bitratemode", &VideoChannel::bitrateMode},
    {"quality", &VideoChannel::quality},
    {"h264_profile", &VideoChannel::h264Profile},
    {"lbr_mode", &VideoChannel::lbrMode},
    {"h264_extension_option", &VideoChannel::h264ExtensionOption},
    {"gopsize", &VideoChannel::gopSize},
    {"rtp_mcast_enable", &VideoChannel::rtpMcastEnable},
    {"rtp_mcast_ttl", &VideoChannel::rtpMcastTtl},
    {"rtsp_timeout", &VideoChannel::rtspTimeout},
    {"dscp", &VideoChannel::dscp},
};

std::string CodecName(int codec)
{
    switch (codec) {
    case CODEC_H265: return "H265";
    case CODEC_MJPEG: return "MJPEG";
    default: return "H264";
    }
}

std::optional<int> ParseCodec(const std::string &text)
{
    const auto codec = ParseCount(text);
    if (!codec || *codec < CODEC_H264 || *codec > CODEC_MJPEG)
        return std::nullopt;
    return codec;
}

// WxH, both at least 1.
bool ParseResolution(const std::string &text, int &width, int &height)
{
    const auto x = text.find('x');
    if (x == std::string::npos)
        return false;
    const auto w = ParseCount(text.substr(0, x));
    const auto h = ParseCount(text.substr(x + 1));
    if (!w || !h || *w == 0 || *h == 0)
        return false;
    width = *w;
    height = *h;
    return true;
}

// A name the page can show on one line: printable ASCII only.
bool IsValidCodecName(const std::string &text)
{
    return !text.empty() && text.size() <= kCodecNameMaxChars &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= ' ' && c <= '~'; });
}

// Camera i has 1 + i % 4 channels; some of them stream MJPEG.
std::vector<VideoChannel> GeneratedChannels(std::size_t index)
{
    std::vector<VideoChannel> channels;
    for (std::size_t c = 0; c < 1 + index % 4; ++c) {
        const int codec = (index + c) % 5 == 2 ? CODEC_MJPEG : c % 2 == 0 ? CODEC_H264 : CODEC_H265;
        channels.push_back(DeliveredChannel(c, codec));
    }
    return channels;
}

// Locally administered addresses, so no simulated camera can clash with a real device.
std::string GeneratedMac(std::uint32_t index)
{
    char text[24];
    std::snprintf(text, sizeof text, "02:4C:53:%02X:%02X:%02X", (index >> 16) & 0xFF, (index >> 8) & 0xFF,
                  index & 0xFF);
    return text;
}

// The first host of the camera's network serves as its gateway and DNS server.
void SetDefaultRoute(SimNetwork &s)
{
    const std::uint32_t mask = *ParseIpv4(s.mask);
    const std::string first = FormatIpv4((*ParseIpv4(s.ip) & mask) + 1);
    if (s.gateway.empty())
        s.gateway = first;
    if (s.dns.empty())
        s.dns = first;
}

void MakeFactory(SimCamera &camera)
{
    camera.factoryNetwork = camera.network;
    camera.factoryChannels = camera.channels;
}

std::string Trim(const std::string &s)
{
    const auto begin = s.find_first_not_of(" \t\r");
    if (begin == std::string::npos)
        return {};
    const auto end = s.find_last_not_of(" \t\r");
    return s.substr(begin, end - begin + 1);
}

std::uint16_t ParsePort(const std::string &value)
{
    const auto port = ParseCount(value);
    if (!port || *port == 0 || *port > 65535)
        throw std::invalid_argument("a port is a number from 1 to 65535: " + value);
    return std::uint16_t(*port);
}

// Comma-separated items, each trimmed; an empty text has none.
std::vector<std::string> SplitList(const std::string &value)
{
    std::vector<std::string> items;
    if (value.empty())
        return items;
    std::size_t begin = 0;
    for (std::size_t comma; (comma = value.find(',', begin)) != std::string::npos; begin = comma + 1)
        items.push_back(Trim(value.substr(begin, comma - begin)));
    items.push_back(Trim(value.substr(begin)));
    return items;
}

std::vector<VideoChannel> ParseChannels(const std::string &value)
{
    const std::vector<std::string> codecs = SplitList(value);
    if (codecs.empty() || codecs.size() > kMaxChannels)
        throw std::invalid_argument("channels lists 1 to " + std::to_string(kMaxChannels) + " codecs: " + value);
    std::vector<VideoChannel> channels;
    for (const std::string &text : codecs) {
        const auto codec = ParseCodec(text);
        if (!codec)
            throw std::invalid_argument("a channel's codec is 1, 2 or 3: " + text);
        channels.push_back(DeliveredChannel(channels.size(), *codec));
    }
    return channels;
}

std::set<std::size_t> ParseChannelNumbers(const std::string &value)
{
    std::set<std::size_t> numbers;
    for (const std::string &text : SplitList(value)) {
        const auto number = ParseCount(text);
        if (!number)
            throw std::invalid_argument("not a channel number: " + text);
        numbers.insert(std::size_t(*number));
    }
    return numbers;
}

HttpBehaviour ParseBehaviourKey(const std::string &value)
{
    const auto behaviour = ParseHttpBehaviour(value);
    if (!behaviour)
        throw std::invalid_argument("unknown http_behaviour " + value);
    return *behaviour;
}

std::shared_ptr<const std::string> ReadBodyFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!in || error)
        throw std::invalid_argument("cannot read http_body " + path);
    if (size > kMaxBodyFileBytes)
        throw std::invalid_argument("http_body larger than " + std::to_string(kMaxBodyFileBytes) + " bytes: " + path);
    return std::make_shared<const std::string>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool ParseFlag(const std::string &value)
{
    if (value == "yes" || value == "true" || value == "1")
        return true;
    if (value == "no" || value == "false" || value == "0")
        return false;
    throw std::invalid_argument("a flag is yes or no: " + value);
}

std::int32_t ParseMode(const std::string &value)
{
    if (value == "static")
        return IP_MODE_STATIC;
    if (value == "dhcp")
        return IP_MODE_DHCP;
    throw std::invalid_argument("mode is static or dhcp: " + value);
}

std::string Limited(const std::string &value, std::size_t maxChars, const char *what)
{
    if (value.size() > maxChars)
        throw std::invalid_argument(std::string(what) + " longer than " + std::to_string(maxChars) + " characters");
    return value;
}

std::string Address(const std::string &value)
{
    if (!ParseIpv4(value))
        throw std::invalid_argument("not a dotted-quad address: " + value);
    return value;
}

void SetKey(SimCamera &camera, const std::string &key, const std::string &value)
{
    SimNetwork &s = camera.network;
    if (key == "mac") camera.mac = Limited(value, kMacChars, "mac");
    else if (key == "model") camera.model = Limited(value, kModelChars, "model");
    else if (key == "firmware") camera.firmware = Limited(value, kFirmwareChars, "firmware");
    else if (key == "mode") s.ipMode = ParseMode(value);
    else if (key == "ip") s.ip = Address(value);
    else if (key == "mask") s.mask = Address(value);
    else if (key == "gateway") s.gateway = Address(value);
    else if (key == "dns") s.dns = Address(value);
    else if (key == "http_port") s.httpPort = ParsePort(value);
    else if (key == "data_port") s.dataPort = ParsePort(value);
    else if (key == "rtsp_port") s.rtspPort = ParsePort(value);
    else if (key == "audio_recv_port") s.audioRecvPort = ParsePort(value);
    else if (key == "audio_send_port") s.audioSendPort = ParsePort(value);
    else if (key == "https") s.https = ParseFlag(value);
    else if (key == "user") camera.login.user = Limited(value, CREDENTIAL_MAX_CHARS, "user");
    else if (key == "password") camera.login.password = Limited(value, CREDENTIAL_MAX_CHARS, "password");
    else if (key == "channels") camera.channels = ParseChannels(value);
    else if (key == "locked_channels") camera.lockedChannels = ParseChannelNumbers(value);
    else if (key == "http_behaviour") camera.httpBehaviour = ParseBehaviourKey(value);
    else if (key == "http_body") camera.httpBody = ReadBodyFile(value);
    else if (key == "keeps_settings") camera.keepsSettings = ParseFlag(value);
    else throw std::invalid_argument("unknown key " + key);
}

// A camera of the file, once all its keys are read: complete, and unlike the others.
void FinishLoadedCamera(SimCamera &camera, std::span<const SimCamera> earlier, int prefixLength)
{
    if (camera.mac.empty() || camera.network.ip.empty())
        throw std::invalid_argument("a camera needs a mac and an ip");
    if (camera.network.mask.empty())
        camera.network.mask = FormatIpv4(MaskOfPrefix(prefixLength));
    if (!IsContiguousMask(*ParseIpv4(camera.network.mask)))
        throw std::invalid_argument("not a subnet mask: " + camera.network.mask);
    SetDefaultRoute(camera.network);
    if (camera.channels.empty())
        camera.channels.push_back(DeliveredChannel(0, CODEC_H264));
    if (!camera.lockedChannels.empty() && *camera.lockedChannels.rbegin() >= camera.channels.size())
        throw std::invalid_argument("locked_channels names a channel the camera does not have");
    for (const SimCamera &other : earlier)
        if (other.mac == camera.mac || other.network.ip == camera.network.ip)
            throw std::invalid_argument("mac or ip used twice: " + camera.mac + " " + camera.network.ip);
    MakeFactory(camera);
}

bool IsValidGateway(std::uint32_t gateway, std::uint32_t ip, std::uint32_t mask)
{
    return gateway == 0 || (IsUnicastHost(gateway) && gateway != ip && (gateway & mask) == (ip & mask));
}

bool AreStaticAddressesValid(const SimNetwork &s)
{
    const auto ip = ParseIpv4(s.ip);
    const auto mask = ParseIpv4(s.mask);
    const auto gateway = ParseIpv4(s.gateway);
    const auto dns = ParseIpv4(s.dns);
    if (!ip || !mask || !gateway || !dns)
        return false;
    return IsContiguousMask(*mask) && IsUnicastHost(*ip) && IsHostOfSubnet(*ip, *mask) &&
           IsValidGateway(*gateway, *ip, *mask) && (*dns == 0 || IsUnicastHost(*dns));
}

bool IsAddressTaken(const std::string &ip, const SimCamera &camera, const std::vector<SimCamera> &cameras)
{
    return std::any_of(cameras.begin(), cameras.end(),
                       [&](const SimCamera &other) { return &other != &camera && other.network.ip == ip; });
}

// Every port set, and no two services on one port.
bool ArePortsValid(const SimNetwork &s)
{
    const std::uint16_t ports[] = {s.httpPort, s.dataPort, s.rtspPort, s.audioRecvPort, s.audioSendPort};
    const std::set<std::uint16_t> distinct(std::begin(ports), std::end(ports));
    return distinct.size() == std::size(ports) && !distinct.contains(0);
}

} // namespace

std::vector<SimCamera> GenerateCameras(int count, const std::string &firstIp, int prefixLength)
{
    const auto first = ParseIpv4(firstIp);
    if (!first || count < 0 || std::uint64_t(*first) + std::uint64_t(count) > 0xFFFFFFFFull)
        throw std::invalid_argument("no room for " + std::to_string(count) + " cameras from " + firstIp);
    std::vector<SimCamera> cameras(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        SimCamera &c = cameras[i];
        c.mac = GeneratedMac(std::uint32_t(i + 1));
        c.model = kModels[i % std::size(kModels)];
        c.firmware = kFirmware[i % std::size(kFirmware)];
        SimNetwork &s = c.network;
        s.ipMode = i % 4 == 3 ? IP_MODE_DHCP : IP_MODE_STATIC;
        s.ip = FormatIpv4(*first + std::uint32_t(i));
        s.mask = FormatIpv4(MaskOfPrefix(prefixLength));
        s.httpPort = i % 5 == 4 ? 8080 : 80;
        s.https = i % 3 == 2;
        SetDefaultRoute(s);
        c.channels = GeneratedChannels(i);
        MakeFactory(c);
    }
    return cameras;
}

std::vector<SimCamera> LoadCameras(const std::string &path, int prefixLength)
{
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error("cannot open " + path);
    std::vector<SimCamera> cameras;
    std::string line;
    int lineNumber = 0;
    int sectionLine = 0;
    // A camera's problems are reported at the line of its section.
    const auto finishLast = [&] {
        if (cameras.empty())
            return;
        const int current = lineNumber;
        lineNumber = sectionLine;
        FinishLoadedCamera(cameras.back(), std::span(cameras).first(cameras.size() - 1), prefixLength);
        lineNumber = current;
    };
    try {
        while (std::getline(in, line)) {
            ++lineNumber;
            line = Trim(line);
            if (line.empty() || line[0] == '#' || line[0] == ';')
                continue;
            if (line == "[camera]") {
                finishLast();
                cameras.emplace_back();
                sectionLine = lineNumber;
                continue;
            }
            const auto eq = line.find('=');
            if (eq == std::string::npos || cameras.empty())
                throw std::invalid_argument("expected key = value inside a [camera] section");
            SetKey(cameras.back(), Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
        }
        finishLast();
    } catch (const std::exception &e) {
        throw std::runtime_error(path + ":" + std::to_string(lineNumber) + ": " + e.what());
    }
    return cameras;
}

std::int32_t CheckNetworkSettings(const SimNetwork &proposed, const SimCamera &camera,
                                  const std::vector<SimCamera> &cameras)
{
    if (proposed.ipMode != IP_MODE_STATIC && proposed.ipMode != IP_MODE_DHCP)
        return RESULT_INVALID_CONFIG;
    if (proposed.ipMode == IP_MODE_STATIC &&
        (!AreStaticAddressesValid(proposed) || IsAddressTaken(proposed.ip, camera, cameras)))
        return RESULT_INVALID_ADDRESS;
    if (!ArePortsValid(proposed))
        return RESULT_INVALID_PORT;
    return 0;
}

void ApplyNetworkSettings(SimCamera &camera, const SimNetwork &accepted)
{
    SimNetwork &s = camera.network;
    if (accepted.ipMode == IP_MODE_STATIC) {
        s.ip = accepted.ip;
        s.mask = accepted.mask;
        s.gateway = accepted.gateway;
        s.dns = accepted.dns;
    }
    s.ipMode = accepted.ipMode;
    s.httpPort = accepted.httpPort;
    s.dataPort = accepted.dataPort;
    s.rtspPort = accepted.rtspPort;
    s.audioRecvPort = accepted.audioRecvPort;
    s.audioSendPort = accepted.audioSendPort;
    s.https = accepted.https;
}

void RestoreFactorySettings(SimCamera &camera)
{
    camera.network = camera.factoryNetwork;
    camera.channels = camera.factoryChannels;
    camera.login = Login{};
}

VideoChannel DeliveredChannel(std::size_t channel, int codec)
{
    VideoChannel delivered;
    delivered.codec = codec;
    delivered.codecName = CodecName(codec);
    if (channel != 0) {
        delivered.width = 1280;
        delivered.height = 720;
    }
    return delivered;
}

std::vector<std::pair<std::string, std::string>> ChannelSettings(const VideoChannel &channel)
{
    std::vector<std::pair<std::string, std::string>> settings = {
        {"codec", std::to_string(channel.codec)},
        {"codec_name", channel.codecName},
        {"resolution", std::to_string(channel.width) + "x" + std::to_string(channel.height)},
    };
    for (const NumberSetting &setting : kNumberSettings)
        settings.emplace_back(setting.key, std::to_string(channel.*setting.field));
    return settings;
}

bool ApplyChannelSetting(VideoChannel &channel, const std::string &key, const std::string &value)
{
    if (key == "codec") {
        const auto codec = ParseCodec(value);
        if (codec) {
            channel.codec = *codec;
            channel.codecName = CodecName(*codec);
        }
        return codec.has_value();
    }
    if (key == "codec_name") {
        const bool valid = IsValidCodecName(value);
        if (valid)
            channel.codecName = value;
        return valid;
    }
    if (key == "resolution")
        return ParseResolution(value, channel.width, channel.height);
    for (const NumberSetting &setting : kNumberSettings) {
        if (key != setting.key)
            continue;
        const auto number = ParseCount(value);
        if (number)
            channel.*setting.field = *number;
        return number.has_value();
    }
    return false;
}

std::optional<int> ParseCount(const std::string &text)
{
    constexpr std::size_t kMaxDigits = 9; // below INT_MAX whatever the digits
    const bool digits = !text.empty() && text.size() <= kMaxDigits &&
                        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits)
        return std::nullopt;
    return std::stoi(text);
}

SimCamera *FindCamera(std::vector<SimCamera> &cameras, const std::string &mac)
{
    const auto found =
        std::find_if(cameras.begin(), cameras.end(), [&](const SimCamera &camera) { return camera.mac == mac; });
    return found == cameras.end() ? nullptr : &*found;
}
