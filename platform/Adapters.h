#pragma once
// The computer's network adapters that have an IPv4 address, read once and kept for
// the whole run, so the selector's items can point at them.

#include <string>
#include <vector>

struct AdapterEntry {
    std::string name;
    std::string address; // first IPv4 address, dotted decimal
};

// In the system's order, loopback interfaces last (the laptop's real adapters first).
const std::vector<AdapterEntry> &SystemAdapters();
