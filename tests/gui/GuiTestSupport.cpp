#include "tests/gui/GuiTestSupport.h"

DISCOVERY_DATA CameraReply(const char *mac, const char *ip, const char *model, int mode, unsigned httpPort)
{
    DISCOVERY_DATA r;
    std::memset(&r, 0, sizeof r);
    r.nType = DISCOVERY_REPLY;
    std::strcpy(r.szMAC, mac);
    std::strcpy(r.szIP, ip);
    std::strcpy(r.szProductName, model);
    std::strcpy(r.szFirmwareVersion, "1.0");
    std::strcpy(r.szSubnetMask, "255.255.255.0");
    std::strcpy(r.szGateway, "10.0.0.1");
    std::strcpy(r.szDNS, "10.0.0.2");
    r.nIPMode = mode;
    r.wHttpPort = std::uint16_t(httpPort);
    r.wDataPort = 4520;
    r.wRtspPort = 554;
    r.wAudioRecvPort = 4522;
    r.wAudioSendPort = 4521;
    return r;
}
