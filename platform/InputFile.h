#pragma once
// Files the user names, read whole but never without a bound, and only of a kind that
// ends: a regular file or (on Linux) a pipe. A folder or a device (/dev/zero) is refused
// by its kind, a file larger than the bound by its size, before a byte of it is read.

#include <cstddef>
#include <optional>
#include <string>

struct InputFile {
    std::optional<std::string> bytes;
    std::string error; // why there are none, naming the path
};

// The reason the system gave for the last call that failed.
std::string LastSystemError();

// The file's bytes, at most maxBytes of them: more is refused, never cut short.
InputFile ReadBoundedFile(const std::string &path, std::size_t maxBytes);

// The file's first line without its line feed, read no further than the read that
// brought the line feed; a longer line than maxBytes is refused.
InputFile ReadFirstLine(const std::string &path, std::size_t maxBytes);
