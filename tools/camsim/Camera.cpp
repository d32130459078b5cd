#include "tools/camsim/Camera.h"

#include <arpa/inet.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace {

const char *const kModels[] = {"QNV-6012R", "QNO-8080R", "QND-7082R", "QNF-9010", "PNM-9085RQZ", "XNV-6120R"};
const char *const kFirmware[] = {"2.10.03_20230512", "1.41.00_20211104", "2.21.01_20240109", "3.02.00_20250721"};

std::uint32_t ParseIpv4(const std::string &text)
{
    in_addr addr{};
    if (inet_pton(AF_INET, text.c_str(), &addr) != 1)
        throw std::invalid_argument("not an IPv4 address: " + text);
    return ntohl(addr.s_addr);
}

std::string FormatIpv4(std::uint32_t host)
{
    in_addr addr{};
    addr.s_addr = htonl(host);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &addr, text, sizeof text);
    return text;
}

std::string GeneratedMac(int index)
{
    char text[24];
    std::snprintf(text, sizeof text, "00:16:6C:%02X:%02X:%02X", (index >> 16) & 0xFF, (index >> 8) & 0xFF,
                  index & 0xFF);
    return text;
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
    const unsigned long port = std::stoul(value);
    if (port > 65535)
        throw std::invalid_argument("port out of range: " + value);
    return std::uint16_t(port);
}

void SetKey(Camera &camera, const std::string &key, const std::string &value)
{
    CameraSettings &s = camera.settings;
    if (key == "mac") camera.mac = value;
    else if (key == "model") camera.model = value;
    else if (key == "firmware") camera.firmware = value;
    else if (key == "ip") s.ip = value;
    else if (key == "mask") s.mask = value;
    else if (key == "gateway") s.gateway = value;
    else if (key == "dns") s.dns = value;
    else if (key == "mode") s.ipMode = value == "dhcp" ? 1 : value == "static" ? 0 : throw std::invalid_argument("mode is static or dhcp");
    else if (key == "http_port") s.httpPort = ParsePort(value);
    else if (key == "data_port") s.dataPort = ParsePort(value);
    else if (key == "rtsp_port") s.rtspPort = ParsePort(value);
    else if (key == "audio_recv_port") s.audioRecvPort = ParsePort(value);
    else if (key == "audio_send_port") s.audioSendPort = ParsePort(value);
    else if (key == "https") s.https = value == "1" || value == "yes" || value == "true";
    else if (key == "user") s.user = value;
    else if (key == "password") s.password = value;
    else throw std::invalid_argument("unknown key " + key);
}

// A factory reset brings back the delivered settings with the factory login.
void MakeFactory(Camera &camera)
{
    camera.factory = camera.settings;
    camera.factory.user = kFactoryUser;
    camera.factory.password = kFactoryPassword;
}

} // namespace

bool IsIpv4Text(const std::string &text)
{
    in_addr addr{};
    return inet_pton(AF_INET, text.c_str(), &addr) == 1;
}

std::vector<Camera> GenerateCameras(int count, const std::string &firstIp)
{
    if (count < 0)
        throw std::invalid_argument("camera count must not be negative");
    const std::uint32_t first = ParseIpv4(firstIp);
    std::vector<Camera> cameras(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        Camera &c = cameras[std::size_t(i)];
        c.mac = GeneratedMac(i + 1);
        c.model = kModels[i % std::size(kModels)];
        c.firmware = kFirmware[i % std::size(kFirmware)];
        c.settings.ip = FormatIpv4(first + std::uint32_t(i));
        c.settings.ipMode = i % 4 == 3 ? 1 : 0;
        c.settings.https = i % 3 == 2;
        c.settings.httpPort = i % 5 == 4 ? 8080 : 80;
        MakeFactory(c);
    }
    return cameras;
}

std::vector<Camera> LoadCameras(const std::string &path)
{
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error("cannot open " + path);
    std::vector<Camera> cameras;
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        line = Trim(line);
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        try {
            if (line == "[camera]") {
                cameras.emplace_back();
                continue;
            }
            const auto eq = line.find('=');
            if (eq == std::string::npos || cameras.empty())
                throw std::invalid_argument("expected key=value inside a [camera] section");
            SetKey(cameras.back(), Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
        } catch (const std::exception &e) {
            throw std::runtime_error(path + ":" + std::to_string(lineNumber) + ": " + e.what());
        }
    }
    for (Camera &c : cameras) {
        if (c.mac.empty() || !IsIpv4Text(c.settings.ip))
            throw std::runtime_error(path + ": every camera needs a mac and an ip");
        MakeFactory(c);
    }
    return cameras;
}
