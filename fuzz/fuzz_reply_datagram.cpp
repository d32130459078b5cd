// The reply port's handler fed raw datagrams: the sorting of each datagram, the
// duplicate test and listing of a reply, the texts of every slot, and the message of a
// set-configuration result. The input is a run of datagrams, each a 2-byte
// little-endian length and that many bytes (fewer at the input's end); one device
// list lives through the whole run, so that repeated replies meet their first copy.

#include "discovery/DatagramKind.h"
#include "discovery/RecordCamera.h"
#include "fuzz/FuzzCheck.h"
#include "inventory/DeviceList.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool SameBytes(const DISCOVERY_DATA &a, const DISCOVERY_DATA &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A slot's text stays inside the slot and ends before any NUL.
template <std::size_t N>
void CheckSlotText(const char (&slot)[N])
{
    const std::string text = SlotText(slot);
    FUZZ_CHECK(text.size() <= N);
    FUZZ_CHECK(text.find('\0') == std::string::npos);
}

// Every text the list view, the details panel and the export read from a record.
void CheckSlotTexts(const DISCOVERY_DATA &record)
{
    CheckSlotText(record.szUserID);
    CheckSlotText(record.szMAC);
    CheckSlotText(record.szProductName);
    CheckSlotText(record.szFirmwareVersion);
    CheckSlotText(record.szIP);
    CheckSlotText(record.szSubnetMask);
    CheckSlotText(record.szGateway);
    CheckSlotText(record.szDNS);
}

void OnReply(CDeviceList &list, const DISCOVERY_DATA &record)
{
    const Camera camera = CameraFromRecord(record);
    if (list.IsDeviceListed(camera.protocol, camera.identity))
        return;
    list.ListDevice(camera);
    const std::optional<Camera> stored = list.CameraAt(list.Count() - 1);
    const DISCOVERY_DATA *storedRecord = stored ? RecordOf(*stored) : nullptr;
    FUZZ_CHECK(storedRecord && SameBytes(*storedRecord, record));
    // A listed camera with a MAC and an IP makes its next copy a duplicate.
    const bool hasKey = !SlotText(record.szMAC).empty() && !SlotText(record.szIP).empty();
    FUZZ_CHECK(!hasKey || list.IsDeviceListed(camera.protocol, RecordIdentity(record)));
    CheckSlotTexts(*storedRecord);
    for (int column = 0; column < CDeviceList::kColumnCount; ++column)
        FUZZ_CHECK(list.CellText(list.Count() - 1, column).find('\0') == std::string::npos);
}

void OnSetConfigResult(const DISCOVERY_DATA &record)
{
    CheckSlotText(record.szMAC);
    if (const char *message = ResultMessage(record.nResult))
        FUZZ_CHECK(std::strlen(message) > 0);
}

// Each datagram in a buffer of its own size, as the socket hands it over.
void OnDatagram(CDeviceList &list, std::vector<std::uint8_t> datagram)
{
    DISCOVERY_DATA record = ZeroRecord();
    const DatagramKind kind = ClassifyDatagram(datagram.data(), datagram.size(), record);
    FUZZ_CHECK((kind == DatagramKind::NotARecord) == (datagram.size() != DISCOVERY_DATA_SIZE));
    switch (kind) {
    case DatagramKind::Reply: OnReply(list, record); break;
    case DatagramKind::SetConfigResult: OnSetConfigResult(record); break;
    default: break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    CDeviceList list;
    std::size_t at = 0;
    while (size - at >= 2) {
        const std::size_t length = std::size_t(data[at]) | std::size_t(data[at + 1]) << 8;
        at += 2;
        const std::size_t taken = std::min(length, size - at);
        OnDatagram(list, std::vector<std::uint8_t>(data + at, data + at + taken));
        at += taken;
    }
    return 0;
}
