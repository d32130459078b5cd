#pragma once
// What a name in the file system leads to. The files the user names are read (InputFile)
// and written (OutputFile) only where they are of a kind that is safe to use; any other
// kind is refused, and the refusal says what stands there.

enum class FileKind { File, Pipe, Folder, Device, Socket, Link, Other };

// "a folder", "a link", ...
const char *FileKindName(FileKind kind);
