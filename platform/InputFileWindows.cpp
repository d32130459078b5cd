// Files the user names, on Windows: the name is first opened as itself, a link not
// followed, to see what it is; only a file on a disk is read. Symbolic links and
// junctions are refused. Other reparse points (a file kept in the cloud) are files; the
// file is then opened again to read, as Windows opens any file, and must be the one
// looked at.
#include "platform/InputFileSystem.h"

#include "platform/FileAccessWindows.h"
#include "platform/WideText.h"

#include <algorithm>

namespace {

bool SameFile(HANDLE one, HANDLE other)
{
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    return ::GetFileInformationByHandle(one, &a) && ::GetFileInformationByHandle(other, &b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

} // namespace

std::string LastSystemError()
{
    return SystemMessage(::GetLastError());
}

// Windows has no FIFO that a name would lead to: a named pipe is refused like a device,
// for a command line too.
const char *KindsRead(InputKinds /*kinds*/)
{
    return "a file";
}

COpenInput::COpenInput(const std::string &path, InputKinds /*kinds*/)
{
    const std::wstring name = WideFromUtf8(path);
    // Opened to look at only: a folder opens too (backup semantics), a link as itself.
    const CHandle named(OpenToLookAt(name));
    if (!named.IsValid()) {
        m_failure = LastSystemError();
        return;
    }
    m_kind = KindOfHandle(named.Get());
    if (m_kind != FileKind::File)
        return;
    CHandle file(::CreateFileW(name.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.IsValid()) {
        m_failure = LastSystemError();
        return;
    }
    // The name now leads elsewhere: it was made a link since it was looked at.
    if (!SameFile(named.Get(), file.Get())) {
        m_kind = FileKind::Link;
        return;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size)) {
        m_failure = LastSystemError();
        return;
    }
    m_size = std::uint64_t(size.QuadPart);
    m_handle = reinterpret_cast<std::intptr_t>(file.Release());
}

COpenInput::~COpenInput()
{
    if (IsOpen())
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

std::optional<std::size_t> COpenInput::Read(char *buffer, std::size_t size)
{
    DWORD read = 0;
    const DWORD wanted = DWORD(std::min<std::size_t>(size, MAXDWORD));
    if (!::ReadFile(reinterpret_cast<HANDLE>(m_handle), buffer, wanted, &read, nullptr))
        return std::nullopt;
    return std::size_t(read);
}
