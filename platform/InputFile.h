#pragma once
// Files the user names, read whole but never without a bound, and only of a kind that
// ends: a regular file or (on Linux, where asked for) a pipe. A folder or a device
// (/dev/zero) is refused by its kind, a file larger than the bound by its size, before a
// byte of it is read.

#include <cstddef>
#include <optional>
#include <string>

struct InputFile {
    std::optional<std::string> bytes;
    std::string error; // why there are none, naming the path
};

// What may be read. A command line reads a pipe its caller fills and closes (lanscout-cli
// apply <(...)); the window reads files only: a FIFO nobody writes to would never let
// it go, so a link or anything but a file is refused without waiting for it.
enum class InputKinds { FilesAndPipes, FilesOnly };

// The reason the system gave for the last call that failed.
std::string LastSystemError();

// The file's bytes, at most maxBytes of them: more is refused, never cut short.
InputFile ReadBoundedFile(const std::string &path, std::size_t maxBytes, InputKinds kinds);

// The file's first line without its line feed, read no further than the read that
// brought the line feed; a longer line than maxBytes is refused.
InputFile ReadFirstLine(const std::string &path, std::size_t maxBytes);
