#pragma once
// What one datagram on the reply port is, before the window acts on it. Free of the
// window, so that the rules can be tried with any bytes at all.

#include "discovery/DiscoveryData.h"

#include <cstddef>

enum class DatagramKind {
    NotARecord,      // empty, short or long: no camera sent it
    Reply,           // a camera's answer to a search
    SetConfigResult, // a camera's answer to new network settings
    OtherRecord,     // a record of a type the window does not act on
};

// Sorts the received bytes; for a record, copies it into record.
DatagramKind ClassifyDatagram(const void *bytes, std::size_t length, DISCOVERY_DATA &record);
