#pragma once
// The platform's part of reading the files the user names, one file per platform
// (InputFileLinux.cpp, InputFileWindows.cpp): what kind a name leads to, and reading
// only a kind that ends.

#include "platform/FileKind.h"
#include "platform/InputFile.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The kinds the platform reads, for the refusal of the others ("a file or a pipe").
const char *KindsRead(InputKinds kinds);

// A named file opened for reading, closed when it goes: open, or refused for its kind,
// or not opened for the system's reason.
class COpenInput final {
public:
    COpenInput(const std::string &path, InputKinds kinds);
    ~COpenInput();
    COpenInput(const COpenInput &) = delete;
    COpenInput &operator=(const COpenInput &) = delete;

    bool IsOpen() const { return m_handle != kNoHandle; }
    FileKind Kind() const { return m_kind; }
    // The system's reason when the name could not be looked at or opened, else empty.
    const std::string &Failure() const { return m_failure; }
    // A file's size; a pipe has none.
    std::optional<std::uint64_t> Size() const { return m_size; }
    // How many bytes were read into the buffer, 0 at the end; nothing on an error
    // (LastSystemError() tells why).
    std::optional<std::size_t> Read(char *buffer, std::size_t size);

private:
    static constexpr std::intptr_t kNoHandle = -1;
    std::intptr_t m_handle = kNoHandle;
    FileKind m_kind = FileKind::Other;
    std::string m_failure;
    std::optional<std::uint64_t> m_size;
};
