#pragma once
// Texts that travel inside a camera page's address.

#include <string>
#include <string_view>

// Percent-encodes every byte but the unreserved letters, digits and "-._~", so that a
// password holding '&', '#', '%', '+' or a space reaches the camera as typed.
std::string PercentEncode(std::string_view text);

// True when the text holds a CR, an LF or a NUL: such a login would split
// or cut the request on its way.
bool HasLineBreakOrNul(std::string_view text);
