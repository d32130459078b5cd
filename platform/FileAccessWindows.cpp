#include "platform/FileAccessWindows.h"

FileKind KindOfHandle(HANDLE handle)
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

HANDLE OpenToLookAt(const std::wstring &name)
{
    return ::CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}
