#pragma once
// The addresses a batch gives the checked cameras, one each in the list's order: counted
// up from a start address within its subnet, skipping the subnet's network and broadcast
// addresses and every address another answering camera has. Running out of the subnet
// is a problem, never a wrap-around to its start, which would hand out addresses below
// the one the installer chose.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct AddressSeries {
    std::vector<std::uint32_t> addresses; // as many as were found, first first
    std::string problem;                  // empty when every camera has one
};

// mask: a contiguous subnet mask (the plan's checks refuse any other). current[i], when
// given, is camera i's own address: the count may give it back to that camera, so a
// batch run again leaves cameras where the first run put them.
AddressSeries CountAddresses(std::uint32_t start, std::uint32_t mask, std::size_t cameras,
                             const std::set<std::uint32_t> &taken,
                             const std::vector<std::optional<std::uint32_t>> &current = {});
