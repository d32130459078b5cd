#include "platform/FileKind.h"

const char *FileKindName(FileKind kind)
{
    switch (kind) {
    case FileKind::File:
        return "a file";
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
