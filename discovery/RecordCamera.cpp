#include "discovery/RecordCamera.h"

namespace {

class CRecordOrigin final : public CameraOrigin {
public:
    explicit CRecordOrigin(const DISCOVERY_DATA &record) : m_record(record) {}
    const DISCOVERY_DATA &Record() const { return m_record; }

private:
    DISCOVERY_DATA m_record;
};

} // namespace

// Slot texts end at their first NUL, so a NUL between MAC and IP keeps two pairs that
// join to the same bytes apart.
std::string RecordIdentity(const DISCOVERY_DATA &record)
{
    const std::string mac = SlotText(record.szMAC);
    const std::string ip = SlotText(record.szIP);
    if (mac.empty() || ip.empty())
        return {};
    return mac + '\0' + ip;
}

Camera CameraFromRecord(const DISCOVERY_DATA &record)
{
    Camera camera;
    camera.protocol = kDiscoveryProtocol;
    camera.mac = SlotText(record.szMAC);
    camera.ip = SlotText(record.szIP);
    if (!camera.mac.empty() && !camera.ip.empty())
        camera.identity = camera.mac + '\0' + camera.ip; // as RecordIdentity makes it
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
