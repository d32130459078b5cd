#include "cli/InputFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

InputFile Refusal(std::string error)
{
    return InputFile{std::nullopt, std::move(error)};
}

InputFile SystemFailure(const std::string &path)
{
    return Refusal("cannot read " + path + ": " + std::strerror(errno));
}

bool EndsWhenRead(mode_t mode)
{
    return S_ISREG(mode) || S_ISFIFO(mode);
}

const char *KindName(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "of another kind";
}

InputFile WrongKind(const std::string &path, mode_t mode)
{
    return Refusal("cannot read " + path + ": it is " + KindName(mode) + ", not a file or a pipe");
}

// Sizes from a MiB up in MiB, the byte count beside them when exact matters.
std::string SizeText(std::uint64_t bytes, bool withByteCount)
{
    constexpr double kMiB = 1024.0 * 1024.0;
    if (bytes < std::uint64_t(kMiB))
        return std::to_string(bytes) + " bytes";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", double(bytes) / kMiB);
    return text + (withByteCount ? " (" + std::to_string(bytes) + " bytes)" : std::string());
}

InputFile TooLarge(const std::string &path, std::optional<std::uint64_t> size, std::size_t maxBytes)
{
    const std::string what = size ? "is " + SizeText(*size, true) + ", more than" : "holds more than";
    return Refusal("refused " + path + ": it " + what + " the " + SizeText(maxBytes, false) + " read at most");
}

} // namespace

std::optional<std::string> ReadUpTo(int fd, std::size_t maxBytes, bool stopAtLineFeed)
{
    std::string bytes;
    char chunk[65536];
    while (bytes.size() <= maxBytes && !(stopAtLineFeed && bytes.find('\n') != std::string::npos)) {
        const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, maxBytes + 1 - bytes.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        bytes.append(chunk, std::size_t(n));
    }
    return bytes;
}

FileCloser::~FileCloser()
{
    ::close(m_fd);
}

InputFile ReadBoundedFile(const std::string &path, std::size_t maxBytes)
{
    // A device is not even opened: opening one may block or have effects of its own.
    struct stat named {};
    if (::stat(path.c_str(), &named) != 0)
        return SystemFailure(path);
    if (!EndsWhenRead(named.st_mode))
        return WrongKind(path, named.st_mode);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return SystemFailure(path);
    const FileCloser closer(fd);
    struct stat opened {};
    if (::fstat(fd, &opened) != 0)
        return SystemFailure(path);
    if (!EndsWhenRead(opened.st_mode)) // replaced since it was looked at
        return WrongKind(path, opened.st_mode);
    if (S_ISREG(opened.st_mode) && std::uint64_t(opened.st_size) > maxBytes)
        return TooLarge(path, std::uint64_t(opened.st_size), maxBytes);
    std::optional<std::string> bytes = ReadUpTo(fd, maxBytes);
    if (!bytes)
        return SystemFailure(path);
    if (bytes->size() > maxBytes) // a pipe, or a file that grew
        return TooLarge(path, std::nullopt, maxBytes);
    return InputFile{std::move(bytes), {}};
}
