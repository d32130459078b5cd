#pragma once
// Files the program writes for the user (the window's report and its list export): the
// new content goes to a file of its own beside the target, reaches the disk, and then
// takes the target's place in one step, so that a reader, a crash or a power cut finds
// the old file or the new one, never a part of either. The target is replaced, never
// opened: nothing is written through a link, not even one put there during the write.

#include <string>
#include <string_view>

// Makes bytes the file's whole content. Empty when that happened, else the reason
// ("it is a link", "cannot write it: No space left on device"); the file is then as it
// was and no temporary file is left beside it.
std::string WriteWholeFile(const std::string &path, std::string_view bytes);
