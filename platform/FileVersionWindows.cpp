// The version stamp on Windows: the ProductVersion text of the executable's version
// resource (ProgramResources.rc.in), read the way Windows' own file properties read it.
#include "platform/FileVersion.h"
#include "platform/WideText.h"

#include <windows.h>

#include <cwchar>
#include <iterator>
#include <vector>

namespace {

// The texts are kept per language; the resource lists its languages, first the one
// it was written in.
std::wstring ProductVersionKey(const std::vector<char> &info)
{
    struct Language {
        WORD id;
        WORD codePage;
    };
    void *languages = nullptr;
    UINT size = 0;
    Language language{0x0409, 1200}; // US English, UTF-16: what a resource without the list holds
    if (::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &languages, &size) && size >= sizeof language)
        language = *static_cast<const Language *>(languages);
    wchar_t key[64];
    std::swprintf(key, std::size(key), L"\\StringFileInfo\\%04x%04x\\ProductVersion", unsigned(language.id),
                  unsigned(language.codePage));
    return key;
}

std::string ReadStampOf(const std::wstring &path)
{
    DWORD unused = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &unused);
    if (size == 0)
        return {};
    std::vector<char> info(size);
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, info.data()))
        return {};
    void *text = nullptr;
    UINT length = 0; // in characters, with the terminator
    if (!::VerQueryValueW(info.data(), ProductVersionKey(info).c_str(), &text, &length))
        return {};
    const auto *characters = static_cast<const wchar_t *>(text);
    return Utf8FromWide(std::wstring_view(characters, ::wcsnlen(characters, length)));
}

} // namespace

std::string ReadVersionStamp(const std::string &path)
{
    return ReadStampOf(WideFromUtf8(path));
}

std::string ReadOwnVersionStamp()
{
    // The program's path may be longer than MAX_PATH: the buffer grows until it fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return ReadStampOf(path);
        }
        path.resize(path.size() * 2);
    }
}
