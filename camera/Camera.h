#pragma once
// A camera as the list, the plans, the reports and every view know it, whichever
// protocol found it: what it reported of itself, the protocol, and that protocol's own
// hold on it (its origin). Texts are the bytes the camera sent. Also the settings and
// the login that commands give cameras, in the same protocol-free terms.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// The protocol that found a camera, by the name its folder gives it: a second protocol
// names itself and touches nothing here.
using CameraProtocol = std::string;

enum : std::int32_t {
    IP_MODE_STATIC = 0,
    IP_MODE_DHCP = 1,
};

// What a protocol keeps of a camera to reach it again. Only that protocol's folder looks
// inside: for the maker's discovery, the received record that commands are built from.
class CameraOrigin {
public:
    virtual ~CameraOrigin() = default;
};

struct Camera {
    CameraProtocol protocol;
    // What tells two answers of one camera from two cameras within the protocol: for
    // the maker's discovery, the MAC and the IP. Empty: never taken for a second answer.
    std::string identity;
    std::string mac;
    std::string ip;
    std::string subnetMask;
    std::string gateway;
    std::string dns;
    std::int32_t ipMode = IP_MODE_STATIC;
    std::uint16_t httpPort = 0;
    std::uint16_t dataPort = 0;
    std::uint16_t rtspPort = 0;
    std::uint16_t audioRecvPort = 0;
    std::uint16_t audioSendPort = 0;
    std::uint8_t https = 0; // the web page is served over HTTPS when not 0
    std::string product;
    std::string firmware;
    std::shared_ptr<const CameraOrigin> origin;
};

// The login a command carries: the user ID and the password.
struct CommandLogin {
    std::string userId;
    std::string password;
};

// The network settings a set-configuration command gives a camera, every one of them.
struct NetworkSettings {
    std::int32_t ipMode = IP_MODE_STATIC;
    std::string ip;
    std::string subnetMask;
    std::string gateway;
    std::string dns;
    std::uint16_t httpPort = 0;
    std::uint16_t dataPort = 0;
    std::uint16_t rtspPort = 0;
    std::uint16_t audioRecvPort = 0;
    std::uint16_t audioSendPort = 0;
    std::uint8_t https = 0;
};

// What a plan changes of a camera's settings; a field left empty keeps the camera's own.
struct SettingsChange {
    std::optional<std::string> ip;
    std::optional<std::string> subnetMask;
    std::optional<std::string> gateway;
    std::optional<std::string> dns;
    std::optional<std::uint16_t> httpPort;
    std::optional<std::int32_t> ipMode;
};
