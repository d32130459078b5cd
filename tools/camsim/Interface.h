#pragma once
// Puts the cameras' addresses on the camera namespace's interface, so that each camera
// can be reached at, and answer from, its own address.

#include <string>
#include <vector>

// Adds each address the interface lacks (one `ip -batch` run for all of them); those
// already there are left alone. False, with the reason in `problem`, when the interface
// is missing or `ip` fails.
bool EnsureAddresses(const std::string &interfaceName, const std::vector<std::string> &addresses, int prefixLength,
                     std::string &problem);
