#include "discovery/RecordCamera.h"

namespace {

class CRecordOrigin final : public CameraOrigin {
public:
    explicit CRecordOrigin(const DISCOVERY_DATA &record) : m_record(record) {}
    const DISCOVERY_DATA &Record() const { return m_record; }

private:
    DISCOVERY_DATA m_record;
};

// MAC and IP, neither empty. Slot texts end at their first NUL, so a NUL between them
// keeps two pairs that join to the same bytes apart.
std::string Identity(const std::string &mac, const std::string &ip)
{
    if (mac.empty() || ip.empty())
        return {};
    return mac + '\0' + ip;
}

} // namespace

std::string RecordIdentity(const DISCOVERY_DATA &record)
{
    return Identity(SlotText(record.szMAC), SlotText(record.szIP));
}

Camera CameraFromRecord(const DISCOVERY_DATA &record)
{
    Camera camera;
    camera.protocol = kDiscoveryProtocol;
    camera.mac = SlotText(record.szMAC);
    camera.ip = SlotText(record.szIP);
    camera.identity = Identity(camera.mac, camera.ip);
    camera.subnetMask = SlotText(record.szSubnetMask);
    camera.gateway = SlotText(record.szGateway);
    camera.dns = SlotText(record.szDNS);
    camera.ipMode = record.nIPMode;
    camera.httpPort = record.wHttpPort;
    camera.dataPort = record.wDataPort;
    camera.rtspPort = record.wRtspPort;
    camera.audioRecvPort = record.wAudioRecvPort;
    camera.audioSendPort = record.wAudioSendPort;
    camera.https = record.bHttps;
    camera.product = SlotText(record.szProductName);
    camera.firmware = SlotText(record.szFirmwareVersion);
    camera.origin = std::make_shared<const CRecordOrigin>(record);
    return camera;
}

const DISCOVERY_DATA *RecordOf(const Camera &camera)
{
    const auto *origin = dynamic_cast<const CRecordOrigin *>(camera.origin.get());
    return camera.protocol == kDiscoveryProtocol && origin ? &origin->Record() : nullptr;
}
