// The reply port's handler fed raw datagrams: the sorting of each datagram, the
// duplicate test and listing of a reply, the texts of every slot, and the message of a
// set-configuration result. The input is a run of datagrams, each a 2-byte
// little-endian length and that many bytes (fewer at the input's end); one device
// list lives through the whole run, so that repeated replies meet their first copy.

#include "discovery/ReplyDispatch.h"
#include "fuzz/FuzzCheck.h"
#include "inventory/DeviceIndex.h"
#include "inventory/ListMox.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct DeviceList {
    CListMox<DISCOVERY_DATA> records;
    CDeviceIndex index;
    std::uint32_t count = 0;
};

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

void OnReply(DeviceList &list, const DISCOVERY_DATA &record)
{
    if (list.index.Contains(record))
        return;
    const DISCOVERY_DATA stored = list.records.AddTail(record);
    list.index.Add(record);
    ++list.count;
    FUZZ_CHECK(SameBytes(stored, record));
    DISCOVERY_DATA last;
    FUZZ_CHECK(list.records.GetAt(list.count - 1, last) == 1 && SameBytes(last, record));
    // A listed camera with a MAC and an IP makes its next copy a duplicate.
    const bool hasKey = !SlotText(record.szMAC).empty() && !SlotText(record.szIP).empty();
    FUZZ_CHECK(!hasKey || list.index.Contains(record));
    CheckSlotTexts(stored);
}

void OnSetConfigResult(const DISCOVERY_DATA &record)
{
    CheckSlotText(record.szMAC);
    if (const char *message = ResultMessage(record.nResult))
        FUZZ_CHECK(std::strlen(message) > 0);
}

// Each datagram in a buffer of its own size, as the socket hands it over.
void OnDatagram(DeviceList &list, std::vector<std::uint8_t> datagram)
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
    DeviceList list;
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
