// The version reader of the window title fed any file as the executable: the stamp's
// section is looked up in the file, then read and formatted. The same bytes also go
// to the version text parser directly.

#include "platform/FileVersion.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTempFile.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

// The title has room for ten characters.
void CheckTitleText(CFileVersion &version)
{
    FUZZ_CHECK(std::strlen(version.GetText()) <= 10);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static CFuzzTempFile file;
    CFileVersion version;
    version.Load(file.Write(data, size).c_str());
    CheckTitleText(version);
    version.Parse(std::string(reinterpret_cast<const char *>(data), size));
    CheckTitleText(version);
    return 0;
}
