// Files the user names, on Windows: the name is first opened as itself, a link not
// followed, to see what it is; only a file on a disk is read. Symbolic links and
// junctions are refused. Other reparse points (a file kept in the cloud) are files; the
// file is then opened again to read, as Windows opens any file, and must be the one
// looked at.
#include "platform/InputFileSystem.h"

#include "platform/InputFile.h"
#include "platform/WideText.h"

#include <windows.h>

#include <algorithm>
#include <utility>

namespace {

// As POSIX reads: another program may have the file open, even to write or to delete it.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Closes a handle when it goes.
class CHandle final {
public:
    explicit CHandle(HANDLE handle) : m_handle(handle) {}
    ~CHandle()
    {
        if (IsValid())
            ::CloseHandle(m_handle);
    }
    CHandle(const CHandle &) = delete;
    CHandle &operator=(const CHandle &) = delete;

    bool IsValid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_handle; }
    HANDLE Release() { return std::exchange(m_handle, INVALID_HANDLE_VALUE); }

private:
    HANDLE m_handle;
};

FileKind KindOf(HANDLE handle)
{
    switch (::GetFileType(handle)) {
    case FILE_TYPE_DISK:
        break;
    case FILE_TYPE_CHAR:
        return FileKind::Device;
    case FILE_TYPE_PIPE:
        return FileKind::Pipe;
    default:
        return FileKind::Other;
    }
    FILE_ATTRIBUTE_TAG_INFO info{};
    if (!::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof info))
        return FileKind::Other;
    if ((info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(info.ReparseTag))
        return FileKind::Link;
    if (info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return FileKind::Folder;
    return FileKind::File;
}

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

const char *const kKindsRead = "a file";

COpenInput::COpenInput(const std::string &path)
{
    const std::wstring name = WideFromUtf8(path);
    // Opened to look at only: a folder opens too (backup semantics), a link as itself.
    const CHandle named(::CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!named.IsValid()) {
        m_failure = LastSystemError();
        return;
    }
    m_kind = KindOf(named.Get());
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
