#pragma once
// Puts the cameras' addresses on the camera namespace's interface.

#include <string>
#include <vector>

// Adds every address (with the prefix) to the interface; addresses already there stay.
// Returns false when `ip` could not be run.
bool AddAddresses(const std::string &interfaceName, const std::vector<std::string> &addresses, int prefixLength);
