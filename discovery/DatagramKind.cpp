#include "discovery/DatagramKind.h"

#include <cstring>

DatagramKind ClassifyDatagram(const void *bytes, std::size_t length, DISCOVERY_DATA &record)
{
    if (length != DISCOVERY_DATA_SIZE)
        return DatagramKind::NotARecord;
    std::memcpy(&record, bytes, DISCOVERY_DATA_SIZE);
    switch (record.nType) {
    case DISCOVERY_REPLY: return DatagramKind::Reply;
    case DISCOVERY_SET_CONFIG: return DatagramKind::SetConfigResult;
    default: return DatagramKind::OtherRecord;
    }
}
