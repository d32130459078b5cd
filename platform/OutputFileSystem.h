#pragma once
// The platform's part of writing a file whole, one file per platform (OutputFileLinux.cpp,
// OutputFileWindows.cpp). Each step says whether it happened; when it did not,
// LastSystemError() says why, asked at once.

#include "platform/FileKind.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// One replacement of the file at a path, in the order of its steps.
class CFileReplacement final {
public:
    explicit CFileReplacement(const std::string &path);
    // Removes the temporary file unless it took the target's place.
    ~CFileReplacement();
    CFileReplacement(const CFileReplacement &) = delete;
    CFileReplacement &operator=(const CFileReplacement &) = delete;

    // Opens the folder the file is in, which holds still from now on: the steps after
    // this find the temporary file and the target in it.
    bool OpenFolder();
    // A new file of the program's own in that folder.
    bool CreateTemporary();
    // What stands at the file's name, looked at as itself (a link is a link): nothing
    // when the file is new. A file of this account's gives the new one its permissions.
    bool LookAtTarget(std::optional<FileKind> &kind);
    bool Write(std::string_view bytes);
    // The temporary file's content on the disk.
    bool Sync();
    // The temporary file in the target's place, and its folder's change on the disk.
    bool Replace();

private:
    static constexpr std::intptr_t kNoHandle = -1;
    std::string m_path;
    std::string m_tempName; // in the folder, once made
    std::intptr_t m_folder = kNoHandle;
    std::intptr_t m_temp = kNoHandle;
    bool m_replaced = false;
};
