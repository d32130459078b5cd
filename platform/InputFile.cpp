#include "platform/InputFile.h"

#include "platform/InputFileSystem.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace {

InputFile Refusal(std::string error)
{
    return InputFile{std::nullopt, std::move(error)};
}

InputFile SystemFailure(const std::string &path, const std::string &reason)
{
    return Refusal("cannot read " + path + ": " + reason);
}

const char *KindName(FileKind kind)
{
    switch (kind) {
    case FileKind::Folder:
        return "a folder";
    case FileKind::Device:
        return "a device";
    case FileKind::Socket:
        return "a socket";
    case FileKind::Link:
        return "a link";
    case FileKind::Pipe:
        return "a pipe";
    default:
        return "of another kind";
    }
}

// Why the file is not open: the system's reason, or its kind.
std::optional<InputFile> Unopened(const std::string &path, const COpenInput &input)
{
    if (!input.Failure().empty())
        return SystemFailure(path, input.Failure());
    if (!input.IsOpen())
        return Refusal("cannot read " + path + ": it is " + KindName(input.Kind()) + ", not " + kKindsRead);
    return std::nullopt;
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

// Reads to the end, or to one byte past the bound, which is enough to refuse; with
// stopAtLineFeed, also no further than the read that brought the first line feed.
// Nothing on a read error.
std::optional<std::string> ReadUpTo(COpenInput &input, std::size_t maxBytes, bool stopAtLineFeed)
{
    std::string bytes;
    char chunk[65536];
    while (bytes.size() <= maxBytes && !(stopAtLineFeed && bytes.find('\n') != std::string::npos)) {
        const std::optional<std::size_t> n = input.Read(chunk, std::min(sizeof chunk, maxBytes + 1 - bytes.size()));
        if (!n)
            return std::nullopt;
        if (*n == 0)
            break;
        bytes.append(chunk, *n);
    }
    return bytes;
}

} // namespace

InputFile ReadBoundedFile(const std::string &path, std::size_t maxBytes)
{
    COpenInput input(path);
    if (std::optional<InputFile> refused = Unopened(path, input))
        return std::move(*refused);
    if (input.Size() && *input.Size() > maxBytes)
        return TooLarge(path, input.Size(), maxBytes);
    std::optional<std::string> bytes = ReadUpTo(input, maxBytes, false);
    if (!bytes)
        return SystemFailure(path, LastSystemError());
    if (bytes->size() > maxBytes) // a pipe, or a file that grew
        return TooLarge(path, std::nullopt, maxBytes);
    return InputFile{std::move(bytes), {}};
}

InputFile ReadFirstLine(const std::string &path, std::size_t maxBytes)
{
    COpenInput input(path);
    if (std::optional<InputFile> refused = Unopened(path, input))
        return std::move(*refused);
    std::optional<std::string> bytes = ReadUpTo(input, maxBytes, true);
    if (!bytes)
        return SystemFailure(path, LastSystemError());
    bytes->resize(std::min(bytes->size(), bytes->find('\n')));
    if (bytes->size() > maxBytes)
        return Refusal("the first line of " + path + " is longer than " + std::to_string(maxBytes) + " bytes");
    return InputFile{std::move(bytes), {}};
}
