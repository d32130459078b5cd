// The registry on Windows: the writer opens the key in the registry itself, in its 32-bit
// view, and sets its values there.
#include "vms/VantoRegistry.h"

#include "platform/WideText.h"

#include <windows.h>

#include <sddl.h>

#include <string>
#include <utility>

static_assert(REGISTRY_SUCCESS == ERROR_SUCCESS && REGISTRY_INVALID_HANDLE == ERROR_INVALID_HANDLE);
static_assert(static_cast<REGSAM>(RegistryAccess::SetValue) == KEY_SET_VALUE &&
              static_cast<REGSAM>(RegistryAccess::Read) == KEY_READ &&
              static_cast<REGSAM>(RegistryAccess::All) == KEY_ALL_ACCESS);

namespace {

// Every right to the key for Everyone (S-1-1-0), inherited by its sub-keys.
constexpr const wchar_t *kEveryoneFullAccess = L"D:(A;OICI;0x1fffff;;;WD)";

// The management system reads the hand-over where the 32-bit program before Lanscout wrote
// it: the registry's 32-bit view (SOFTWARE\WOW6432Node on a 64-bit Windows). Every opening
// of the key names that view, or a 64-bit Lanscout would write where nobody reads.
constexpr REGSAM kVmsView = KEY_WOW64_32KEY;

// The program's texts are bytes that the window shows and reads as Latin-1. The registry is
// given them in UTF-16 by that same rule, never through the process's ANSI code page, which
// lanscout.exe's manifest makes UTF-8: a password with an accented letter reaches the
// management system as the letter typed.
std::wstring WideFromLatin1(const std::string &bytes)
{
    std::wstring wide;
    wide.reserve(bytes.size());
    for (const char byte : bytes)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(byte));
    return wide;
}

HKEY HiveKey(RegistryHive hive)
{
    switch (hive) {
    case RegistryHive::LocalMachine:
        return HKEY_LOCAL_MACHINE;
    }
    return nullptr;
}

// The key path below the hive, without the backslash it ends with.
std::string SubKey(unsigned index)
{
    std::string path = RegistryKeyPath(index);
    if (!path.empty())
        path.pop_back();
    return path;
}

DWORD ValueType(RegistryType type)
{
    switch (type) {
    case RegistryType::Dword:
        return REG_DWORD;
    case RegistryType::Text:
        return REG_SZ;
    case RegistryType::Binary:
        break;
    }
    return REG_BINARY;
}

// "Everyone, full access" for a key this program makes.
class CKeySecurity
{
public:
    CKeySecurity()
    {
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kEveryoneFullAccess, SDDL_REVISION_1,
                                                                  &m_descriptor, nullptr))
            m_error = static_cast<LONG>(GetLastError());
        m_attributes = {sizeof m_attributes, m_descriptor, FALSE};
    }
    ~CKeySecurity() { LocalFree(m_descriptor); }
    CKeySecurity(const CKeySecurity &) = delete;
    CKeySecurity &operator=(const CKeySecurity &) = delete;

    // ERROR_SUCCESS once the descriptor is made.
    LONG Error() const { return m_error; }
    SECURITY_ATTRIBUTES *Attributes() { return &m_attributes; }

    // Windows gives a key made with the attributes their descriptor, but not every
    // registry does (Wine keeps its default), so a new key is given it once more, through
    // a handle of its own that may change it whatever rights the writer asked for.
    LONG ApplyToKey(HKEY key) const
    {
        HKEY changer = nullptr;
        LONG error = RegOpenKeyExW(key, nullptr, 0, WRITE_DAC | kVmsView, &changer);
        if (error != ERROR_SUCCESS)
            return error;
        error = RegSetKeySecurity(changer, DACL_SECURITY_INFORMATION, m_descriptor);
        RegCloseKey(changer);
        return error;
    }

private:
    PSECURITY_DESCRIPTOR m_descriptor = nullptr;
    SECURITY_ATTRIBUTES m_attributes{};
    LONG m_error = ERROR_SUCCESS;
};

// Makes or opens the key; a key made new is open to everyone.
LONG CreateKey(HKEY hive, const std::string &subKey, RegistryAccess access, HKEY &key)
{
    CKeySecurity security;
    if (security.Error() != ERROR_SUCCESS)
        return security.Error();
    DWORD disposition = 0;
    LONG error = RegCreateKeyExW(hive, WideFromLatin1(subKey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 static_cast<REGSAM>(access) | kVmsView, security.Attributes(), &key, &disposition);
    if (error == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY)
        error = security.ApplyToKey(key);
    if (error != ERROR_SUCCESS && key != nullptr)
        RegCloseKey(std::exchange(key, nullptr));
    return error;
}

LONG SetValue(HKEY key, const RegistryValue &value)
{
    const std::wstring name = WideFromLatin1(value.Name());
    const DWORD type = ValueType(value.Type());
    if (value.Type() == RegistryType::Text) { // its terminator widens with it
        const std::wstring text = WideFromLatin1(value.Bytes());
        return RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE *>(text.data()),
                              static_cast<DWORD>(text.size() * sizeof(wchar_t)));
    }
    const std::string &bytes = value.Bytes();
    return RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE *>(bytes.data()),
                          static_cast<DWORD>(bytes.size()));
}

} // namespace

struct CVantoRegistry::Key {
    HKEY handle;
    std::string name; // HKEY_LOCAL_MACHINE\SOFTWARE\..., for messages
};

std::string RegistryRoot()
{
    return {};
}

std::string RegistryKeyFolder(unsigned index, RegistryHive hive)
{
    const char *hiveName = RegistryHiveName(hive);
    if (hiveName == nullptr)
        return {};
    const std::string subKey = SubKey(index);
    return subKey.empty() ? hiveName : hiveName + ("\\" + subKey);
}

CVantoRegistry::CVantoRegistry(const std::string &, unsigned keyIndex, RegistryAccess access, RegistryHive hive)
{
    const HKEY hiveKey = HiveKey(hive);
    if (hiveKey == nullptr) {
        m_problem = "the hive is unknown";
        return;
    }
    const std::string name = RegistryKeyFolder(keyIndex, hive);
    HKEY key = nullptr;
    if (const LONG error = CreateKey(hiveKey, SubKey(keyIndex), access, key); error != ERROR_SUCCESS) {
        m_problem = name + ": " + SystemMessage(error);
        return;
    }
    m_key.reset(new Key{key, name});
}

CVantoRegistry::~CVantoRegistry()
{
    CloseKey();
}

long CVantoRegistry::WriteValues(const std::vector<RegistryValue> &values)
{
    if (!IsOpen())
        return ERROR_INVALID_HANDLE; // the reason it is not open stays the problem
    // The registry reads a name up to its first NUL: the rest would name another value.
    for (const RegistryValue &value : values)
        if (value.Name().find('\0') != std::string::npos)
            return Fail(ERROR_INVALID_PARAMETER, "a value name holds a NUL");
    // The registry has no replacement of a key's values: between two of these writes a
    // reader sees the values written so far beside the earlier ones of the rest
    // (WriteValuesUnderFlag keeps that from a reader who waits for its flag).
    for (const RegistryValue &value : values)
        if (const LONG error = SetValue(m_key->handle, value); error != ERROR_SUCCESS)
            return Fail(error, m_key->name + ": " + SystemMessage(error));
    return Fail(ERROR_SUCCESS, {});
}

long CVantoRegistry::WriteValuesUnderFlag(const std::string &flag, const std::vector<RegistryValue> &values)
{
    if (const long error = WriteDword(flag, 0); error != ERROR_SUCCESS)
        return error;
    if (const long error = WriteValues(values); error != ERROR_SUCCESS)
        return error;
    return WriteDword(flag, 1);
}

long CVantoRegistry::CloseKey()
{
    if (!IsOpen())
        return ERROR_INVALID_HANDLE;
    const LONG closed = RegCloseKey(m_key->handle);
    m_key.reset();
    return closed;
}
