// The registry on Windows: the writer opens the key in the registry itself (the program's
// own view of it) and sets its values there.
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
constexpr const char *kEveryoneFullAccess = "D:(A;OICI;0x1fffff;;;WD)";

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
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kEveryoneFullAccess, SDDL_REVISION_1,
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
        LONG error = RegOpenKeyExA(key, nullptr, 0, WRITE_DAC, &changer);
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
    LONG error = RegCreateKeyExA(hive, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 static_cast<REGSAM>(access), security.Attributes(), &key, &disposition);
    if (error == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY)
        error = security.ApplyToKey(key);
    if (error != ERROR_SUCCESS && key != nullptr)
        RegCloseKey(std::exchange(key, nullptr));
    return error;
}

LONG SetValue(HKEY key, const RegistryValue &value)
{
    const std::string &bytes = value.Bytes();
    return RegSetValueExA(key, value.Name().c_str(), 0, ValueType(value.Type()),
                          reinterpret_cast<const BYTE *>(bytes.data()), static_cast<DWORD>(bytes.size()));
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
    // reader sees the values written so far beside the earlier ones of the rest.
    for (const RegistryValue &value : values)
        if (const LONG error = SetValue(m_key->handle, value); error != ERROR_SUCCESS)
            return Fail(error, m_key->name + ": " + SystemMessage(error));
    return Fail(ERROR_SUCCESS, {});
}

long CVantoRegistry::CloseKey()
{
    if (!IsOpen())
        return ERROR_INVALID_HANDLE;
    const LONG closed = RegCloseKey(m_key->handle);
    m_key.reset();
    return closed;
}
