#pragma once
// The platform's part of the adapter list, one file per platform (AdaptersLinux.cpp,
// AdaptersWindows.cpp): what the system reports, before Adapters.cpp orders it.

#include <string>
#include <vector>

struct SystemAddress {
    std::string adapter; // the adapter's name as the system shows it, UTF-8
    std::string address; // IPv4, dotted decimal
    bool loopback = false;
};

// Every IPv4 address of every adapter, in the system's order; empty when it cannot be read.
std::vector<SystemAddress> ReadSystemAddresses();
