#pragma once
// Files the user names, read whole but never without a bound, and only of a kind that
// ends: a regular file or a pipe. A folder or a device (/dev/zero) is refused by its
// kind, a file larger than the bound by its size, before a byte of it is read.

#include <cstddef>
#include <optional>
#include <string>

struct InputFile {
    std::optional<std::string> bytes;
    std::string error; // why there are none, naming the path
};

// The file's bytes, at most maxBytes of them: more is refused, never cut short.
InputFile ReadBoundedFile(const std::string &path, std::size_t maxBytes);

// Reads to the end, or to one byte past the bound, which is enough to refuse; with
// stopAtLineFeed, also no further than the read that brought the first line feed.
// Nothing on a read error.
std::optional<std::string> ReadUpTo(int fd, std::size_t maxBytes, bool stopAtLineFeed = false);

// Closes a file descriptor when it goes.
class FileCloser {
public:
    explicit FileCloser(int fd) : m_fd(fd) {}
    ~FileCloser();
    FileCloser(const FileCloser &) = delete;
    FileCloser &operator=(const FileCloser &) = delete;

private:
    int m_fd;
};
