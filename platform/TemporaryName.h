#pragma once
// The name a file's replacement is written under, beside it in its folder, until it is
// renamed over the file: "." and the file's name, "." and twelve random lowercase hex
// digits. Hidden where a leading dot hides, never the file's own name, and told apart
// from any other name, so that one a killed writer left can be found again.

#include <string>
#include <string_view>

// A new random name at each call.
std::string TemporaryNameFor(std::string_view name);

bool IsTemporaryNameFor(std::string_view candidate, std::string_view name);
