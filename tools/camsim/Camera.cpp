#include "tools/camsim/Camera.h"

#include "discovery/DiscoveryData.h"
#include "tools/camsim/Ipv4.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <span>
#include <stdexcept>

namespace {

const char *const kModels[] = {"SIM-D2100", "SIM-B4200 Bullet", "SIM-P8400 PTZ", "SIM-F9100 Fisheye",
                               "SIM-M5300", "SIM-T6200 Thermal"};
const char *const kFirmware[] = {"2.10.03_20230512", "1.41.00_20211104", "2.21.01_20240109", "3.02.00_20250721"};

// Widths of the record's slots less their NUL: a longer text could not be carried.
constexpr std::size_t kMacChars = 23;
constexpr std::size_t kModelChars = 95;
constexpr std::size_t kFirmwareChars = 35;

// Locally administered addresses, so no simulated camera can clash with a real device.
std::string GeneratedMac(std::uint32_t index)
{
    char text[24];
    std::snprintf(text, sizeof text, "02:4C:53:%02X:%02X:%02X", (index >> 16) & 0xFF, (index >> 8) & 0xFF,
                  index & 0xFF);
    return text;
}

// The first host of the camera's network serves as its gateway and DNS server.
void SetDefaultRoute(NetworkSettings &s)
{
    const std::uint32_t mask = *ParseIpv4(s.mask);
    const std::string first = FormatIpv4((*ParseIpv4(s.ip) & mask) + 1);
    if (s.gateway.empty())
        s.gateway = first;
    if (s.dns.empty())
        s.dns = first;
}

void MakeFactory(Camera &camera)
{
    camera.factoryNetwork = camera.network;
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
    const bool digits = !value.empty() && value.size() <= 5 &&
                        std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
    const unsigned long port = digits ? std::stoul(value) : 0;
    if (port == 0 || port > 65535)
        throw std::invalid_argument("a port is a number from 1 to 65535: " + value);
    return std::uint16_t(port);
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

void SetKey(Camera &camera, const std::string &key, const std::string &value)
{
    NetworkSettings &s = camera.network;
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
    else throw std::invalid_argument("unknown key " + key);
}

// A camera of the file, once all its keys are read: complete, and unlike the others.
void FinishLoadedCamera(Camera &camera, std::span<const Camera> earlier, int prefixLength)
{
    if (camera.mac.empty() || camera.network.ip.empty())
        throw std::invalid_argument("a camera needs a mac and an ip");
    if (camera.network.mask.empty())
        camera.network.mask = FormatIpv4(MaskOfPrefix(prefixLength));
    if (!IsContiguousMask(*ParseIpv4(camera.network.mask)))
        throw std::invalid_argument("not a subnet mask: " + camera.network.mask);
    SetDefaultRoute(camera.network);
    for (const Camera &other : earlier)
        if (other.mac == camera.mac || other.network.ip == camera.network.ip)
            throw std::invalid_argument("mac or ip used twice: " + camera.mac + " " + camera.network.ip);
    MakeFactory(camera);
}

bool IsValidGateway(std::uint32_t gateway, std::uint32_t ip, std::uint32_t mask)
{
    return gateway == 0 || (IsUnicastHost(gateway) && gateway != ip && (gateway & mask) == (ip & mask));
}

bool AreStaticAddressesValid(const NetworkSettings &s)
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

bool IsAddressTaken(const std::string &ip, const Camera &camera, const std::vector<Camera> &cameras)
{
    return std::any_of(cameras.begin(), cameras.end(),
                       [&](const Camera &other) { return &other != &camera && other.network.ip == ip; });
}

// Every port set, and no two services on one port.
bool ArePortsValid(const NetworkSettings &s)
{
    const std::uint16_t ports[] = {s.httpPort, s.dataPort, s.rtspPort, s.audioRecvPort, s.audioSendPort};
    const std::set<std::uint16_t> distinct(std::begin(ports), std::end(ports));
    return distinct.size() == std::size(ports) && !distinct.contains(0);
}

} // namespace

std::vector<Camera> GenerateCameras(int count, const std::string &firstIp, int prefixLength)
{
    const auto first = ParseIpv4(firstIp);
    if (!first || count < 0 || std::uint64_t(*first) + std::uint64_t(count) > 0xFFFFFFFFull)
        throw std::invalid_argument("no room for " + std::to_string(count) + " cameras from " + firstIp);
    std::vector<Camera> cameras(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        Camera &c = cameras[i];
        c.mac = GeneratedMac(std::uint32_t(i + 1));
        c.model = kModels[i % std::size(kModels)];
        c.firmware = kFirmware[i % std::size(kFirmware)];
        NetworkSettings &s = c.network;
        s.ipMode = i % 4 == 3 ? IP_MODE_DHCP : IP_MODE_STATIC;
        s.ip = FormatIpv4(*first + std::uint32_t(i));
        s.mask = FormatIpv4(MaskOfPrefix(prefixLength));
        s.httpPort = i % 5 == 4 ? 8080 : 80;
        s.https = i % 3 == 2;
        SetDefaultRoute(s);
        MakeFactory(c);
    }
    return cameras;
}

std::vector<Camera> LoadCameras(const std::string &path, int prefixLength)
{
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error("cannot open " + path);
    std::vector<Camera> cameras;
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

std::int32_t CheckNetworkSettings(const NetworkSettings &proposed, const Camera &camera,
                                  const std::vector<Camera> &cameras)
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

void ApplyNetworkSettings(Camera &camera, const NetworkSettings &accepted)
{
    NetworkSettings &s = camera.network;
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

void RestoreFactorySettings(Camera &camera)
{
    camera.network = camera.factoryNetwork;
    camera.login = Login{};
}

Camera *FindCamera(std::vector<Camera> &cameras, const std::string &mac)
{
    const auto found =
        std::find_if(cameras.begin(), cameras.end(), [&](const Camera &camera) { return camera.mac == mac; });
    return found == cameras.end() ? nullptr : &*found;
}
