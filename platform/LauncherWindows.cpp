// Opens a web address on Windows: ShellExecuteW hands it to the user's default browser,
// as Explorer does with a link.
#include "platform/Launcher.h"

#include <windows.h>
#include <shellapi.h>

#include <cctype>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

// The address goes to the browser on its command line: a byte that could end or split
// an argument there (a blank, a quote), a control or one beyond ASCII is percent-encoded,
// as in any URL. The address is made from a camera's answer.
std::wstring CommandLineSafeAddress(const std::string &url)
{
    static constexpr char kKept[] = "-._~:/?#[]@!$&'()*+,;=%";
    std::wstring address;
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80 && (std::isalnum(byte) || (byte != 0 && std::strchr(kKept, byte)))) {
            address += wchar_t(byte);
            continue;
        }
        wchar_t escaped[4];
        std::swprintf(escaped, 4, L"%%%02X", unsigned(byte));
        address += escaped;
    }
    return address;
}

} // namespace

void OpenInBrowser(const std::string &url)
{
    // Whether a browser came up is not known here, as on Linux.
    ::ShellExecuteW(nullptr, L"open", CommandLineSafeAddress(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
