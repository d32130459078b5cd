#pragma once
// What reading and writing the user's files share on Linux (FileAccessLinux.cpp).

#include "platform/FileKind.h"

#include <sys/types.h>

// The kind of a file from its mode, as stat (or, for a link, lstat) tells it.
FileKind KindOfMode(mode_t mode);
