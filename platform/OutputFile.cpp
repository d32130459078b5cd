#include "platform/OutputFile.h"

#include "platform/InputFile.h"
#include "platform/OutputFileSystem.h"

// The temporary file is made before the target is looked at, so that a file there can
// give it its permissions; a refusal then removes it again.
std::string WriteWholeFile(const std::string &path, std::string_view bytes)
{
    CFileReplacement file(path);
    if (!file.OpenFolder())
        return "cannot open its folder: " + LastSystemError();
    if (!file.CreateTemporary())
        return "cannot make a file in its folder: " + LastSystemError();
    std::optional<FileKind> there;
    if (!file.LookAtTarget(there))
        return "cannot look at it: " + LastSystemError();
    if (there && *there != FileKind::File)
        return std::string("it is ") + FileKindName(*there);
    if (!file.Write(bytes))
        return "cannot write it: " + LastSystemError();
    if (!file.Sync())
        return "cannot write it to the disk: " + LastSystemError();
    if (!file.Replace())
        return "cannot put it in its place: " + LastSystemError();
    return {};
}
