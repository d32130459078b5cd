// Writing a file whole on Windows: the folder is held open while the file is written,
// so that it cannot be renamed or removed meanwhile; the temporary file is made new
// (CREATE_NEW, a link at its name not followed) and moved over the target, which
// replaces a link rather than following it, the move itself written through to the disk.
#include "platform/OutputFileSystem.h"

#include "platform/FileAccessWindows.h"
#include "platform/TemporaryName.h"
#include "platform/WideText.h"

#include <algorithm>
#include <utility>

namespace {

// Where the folder part of a path ends (after its separator); 0 when it names none.
std::size_t NameStart(const std::string &path)
{
    const std::size_t separator = path.find_last_of("\\/:");
    return separator == std::string::npos ? 0 : separator + 1;
}

std::wstring FolderOf(const std::string &path)
{
    const std::size_t start = NameStart(path);
    return start == 0 ? L"." : WideFromUtf8(path.substr(0, start));
}

std::wstring InFolderOf(const std::string &path, const std::string &name)
{
    return WideFromUtf8(path.substr(0, NameStart(path)) + name);
}

HANDLE HandleOf(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

constexpr int kAttempts = 16; // at a name taken by chance, another is tried

} // namespace

CFileReplacement::CFileReplacement(const std::string &path) : m_path(path) {}

CFileReplacement::~CFileReplacement()
{
    if (m_temp != kNoHandle)
        ::CloseHandle(HandleOf(m_temp));
    if (!m_tempName.empty() && !m_replaced)
        ::DeleteFileW(InFolderOf(m_path, m_tempName).c_str());
    if (m_folder != kNoHandle)
        ::CloseHandle(HandleOf(m_folder));
}

// Shared for reading and writing, not for deleting: a folder open so cannot be renamed.
bool CFileReplacement::OpenFolder()
{
    constexpr DWORD kShareButDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;
    const HANDLE folder = ::CreateFileW(FolderOf(m_path).c_str(), FILE_LIST_DIRECTORY, kShareButDelete, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    m_folder = reinterpret_cast<std::intptr_t>(folder);
    return folder != INVALID_HANDLE_VALUE;
}

bool CFileReplacement::CreateTemporary()
{
    const std::string name = m_path.substr(NameStart(m_path));
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string tempName = TemporaryNameFor(name);
        const HANDLE temp = ::CreateFileW(InFolderOf(m_path, tempName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (temp != INVALID_HANDLE_VALUE) {
            m_tempName = tempName;
            m_temp = reinterpret_cast<std::intptr_t>(temp);
            return true;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS)
            return false;
    }
    return false;
}

bool CFileReplacement::LookAtTarget(std::optional<FileKind> &kind)
{
    if (NameStart(m_path) == m_path.size()) { // the path ends in a separator: a folder
        kind = FileKind::Folder;
        return true;
    }
    const CHandle there(OpenToLookAt(WideFromUtf8(m_path)));
    if (!there.IsValid()) {
        kind.reset();
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    kind = KindOfHandle(there.Get());
    return true;
}

bool CFileReplacement::Write(std::string_view bytes)
{
    while (!bytes.empty()) {
        DWORD put = 0;
        const DWORD wanted = DWORD(std::min<std::size_t>(bytes.size(), MAXDWORD));
        if (!::WriteFile(HandleOf(m_temp), bytes.data(), wanted, &put, nullptr))
            return false;
        if (put == 0) {
            ::SetLastError(ERROR_WRITE_FAULT); // nothing taken, and no reason given
            return false;
        }
        bytes.remove_prefix(put);
    }
    return true;
}

// Closed once on the disk: a file open without sharing could not be moved.
bool CFileReplacement::Sync()
{
    if (!::FlushFileBuffers(HandleOf(m_temp)))
        return false;
    ::CloseHandle(HandleOf(std::exchange(m_temp, kNoHandle)));
    return true;
}

bool CFileReplacement::Replace()
{
    m_replaced = ::MoveFileExW(InFolderOf(m_path, m_tempName).c_str(), WideFromUtf8(m_path).c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    return m_replaced;
}
