#pragma once
// What reading and writing the user's files share on Windows (FileAccessWindows.cpp).

#include "platform/FileKind.h"

#include <windows.h>

#include <string>
#include <utility>

// As POSIX opens files: another program may have the file open, even to write or to delete it.
inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Closes a handle when it goes.
class CHandle final {
public:
    explicit CHandle(HANDLE handle) : m_handle(handle) {}
    ~CHandle() { Reset(INVALID_HANDLE_VALUE); }
    CHandle(const CHandle &) = delete;
    CHandle &operator=(const CHandle &) = delete;

    bool IsValid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_handle; }
    HANDLE Release() { return std::exchange(m_handle, INVALID_HANDLE_VALUE); }
    void Reset(HANDLE handle)
    {
        if (IsValid())
            ::CloseHandle(m_handle);
        m_handle = handle;
    }

private:
    HANDLE m_handle;
};

// What the handle leads to, a name opened as itself (FILE_FLAG_OPEN_REPARSE_POINT):
// symbolic links and junctions are links; other reparse points (a file kept in the
// cloud) are what they hold.
FileKind KindOfHandle(HANDLE handle);

// The name opened as itself, to look at, a link not followed and a folder opened too;
// INVALID_HANDLE_VALUE when nothing could be opened there (GetLastError tells why).
HANDLE OpenToLookAt(const std::wstring &name);
