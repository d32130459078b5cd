#include "platform/FileAccessLinux.h"

#include <sys/stat.h>

FileKind KindOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return FileKind::File;
    if (S_ISFIFO(mode))
        return FileKind::Pipe;
    if (S_ISDIR(mode))
        return FileKind::Folder;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return FileKind::Device;
    if (S_ISSOCK(mode))
        return FileKind::Socket;
    if (S_ISLNK(mode))
        return FileKind::Link;
    return FileKind::Other;
}
