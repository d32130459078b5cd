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

// Why the file is not open: the system's reason, or its kind.
std::optional<InputFile> Unopened(const std::string &path, const COpenInput &input, InputKinds kinds)
{
    if (!input.Failure().empty())
        return SystemFailure(path, input.Failure());
    if (!input.IsOpen())
        return Refusal("cannot read " + path + ": it is " + FileKindName(input.Kind()) + ", not " + KindsRead(kinds));
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

InputFile ReadBoundedFile(const std::string &path, std::size_t maxBytes, InputKinds kinds)
{
    COpenInput input(path, kinds);
    if (std::optional<InputFile> refused = Unopened(path, input, kinds))
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
    constexpr InputKinds kKinds = InputKinds::FilesAndPipes; // the command line's secrets
    COpenInput input(path, kKinds);
    if (std::optional<InputFile> refused = Unopened(path, input, kKinds))
        return std::move(*refused);
    std::optional<std::string> bytes = ReadUpTo(input, maxBytes, true);
    if (!bytes)
        return SystemFailure(path, LastSystemError());
    bytes->resize(std::min(bytes->size(), bytes->find('\n')));
    if (bytes->size() > maxBytes)
        return Refusal("the first line of " + path + " is longer than " + std::to_string(maxBytes) + " bytes");
    return InputFile{std::move(bytes), {}};
}
