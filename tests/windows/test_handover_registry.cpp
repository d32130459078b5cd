// The hand-over on the Windows registry, read back through the registry's own interface
// as the management system reads it, apart from the writer, and the key's security as an
// administrator sees it. Each test starts without the management system's keys; the last
// hand-over stays for reg.exe to show (handover_reg_query.sh).
#include "vms/HandOver.h"
#include "vms/VantoRegistry.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <sddl.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char *kVmsKey = "SOFTWARE\\Brenmark\\Halvex DVR";
constexpr const char *kKey = "SOFTWARE\\Brenmark\\Halvex DVR\\PELMTempSettings";
const std::string kKeyName = std::string("HKEY_LOCAL_MACHINE\\") + kKey;

struct Stored {
    DWORD type;
    std::string bytes;
    bool operator==(const Stored &) const = default;
};

void PrintTo(const Stored &value, std::ostream *out)
{
    *out << "type " << value.type << " bytes " << ::testing::PrintToString(value.bytes);
}

std::string Dword(std::uint32_t value)
{
    return {char(value & 0xFF), char(value >> 8 & 0xFF), char(value >> 16 & 0xFF), char(value >> 24)};
}

std::string Sz(const std::string &text)
{
    return text + '\0';
}

// A value's type and exact bytes, or nothing when the key or the value is not there.
std::optional<Stored> ReadValue(const std::string &name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0, size = 0;
    std::optional<Stored> value;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        std::string bytes(size, '\0');
        if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE *>(bytes.data()), &size) ==
            ERROR_SUCCESS)
            value = Stored{type, bytes.substr(0, size)};
    }
    RegCloseKey(key);
    return value;
}

std::vector<std::optional<Stored>> HandOverValues()
{
    std::vector<std::optional<Stored>> values;
    for (const char *name :
         {"IPCameraNeedSaveToHalvex", "IPCameraAddress", "IPCameraUserName", "IPCameraPassword", "IPCameraHTTPPort"})
        values.push_back(ReadValue(name));
    return values;
}

std::vector<std::optional<Stored>> Expected(std::uint32_t flag, const CameraHandOver &camera)
{
    return {Stored{REG_DWORD, Dword(flag)}, Stored{REG_SZ, Sz(camera.ip)}, Stored{REG_SZ, Sz(camera.user)},
            Stored{REG_SZ, Sz(camera.password)}, Stored{REG_DWORD, Dword(camera.httpPort)}};
}

struct Grant {
    DWORD mask;
    BYTE flags;
};

// What the key's access list allows Everyone (S-1-1-0), read back from the registry.
std::optional<Grant> EveryonesGrant(const char *path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, READ_CONTROL, &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD size = 0;
    RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
    std::vector<char> descriptor(size);
    const bool read = RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.data(), &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    PSID everyone = nullptr;
    if (!read || !GetSecurityDescriptorDacl(descriptor.data(), &present, &dacl, &defaulted) || !present ||
        dacl == nullptr || !ConvertStringSidToSidA("S-1-1-0", &everyone))
        return std::nullopt;
    std::optional<Grant> grant;
    for (DWORD i = 0; i < dacl->AceCount && !grant; ++i) {
        void *entry = nullptr;
        if (!GetAce(dacl, i, &entry) || static_cast<ACE_HEADER *>(entry)->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        const auto *allowed = static_cast<ACCESS_ALLOWED_ACE *>(entry);
        if (EqualSid(const_cast<DWORD *>(&allowed->SidStart), everyone))
            grant = Grant{allowed->Mask, allowed->Header.AceFlags};
    }
    LocalFree(everyone);
    return grant;
}

bool GrantsEveryoneFullAccess(const char *path)
{
    const std::optional<Grant> grant = EveryonesGrant(path);
    return grant && (grant->mask & KEY_ALL_ACCESS) == KEY_ALL_ACCESS && (grant->flags & CONTAINER_INHERIT_ACE) != 0;
}

// Gives an existing key the access list of `sddl`.
void SetKeySecurity(const char *sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr));
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor), ERROR_SUCCESS);
    RegCloseKey(key);
    LocalFree(descriptor);
}

class HandOverRegistry : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const LONG removed = RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brenmark");
        ASSERT_TRUE(removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND) << removed;
    }

    const CHandOverStore store{RegistryRoot()};
};

} // namespace

// The five values with their types and exact bytes; every start of the program takes the
// flag back and leaves the camera.
TEST_F(HandOverRegistry, HandOverIsReadAsWrittenAndTheStartClearsOnlyTheFlag)
{
    const CameraHandOver camera{"10.77.0.10", "admin", std::string("p\"a\\ss") + '\xC4', 8080};
    const StoreWriteResult written = store.Write(camera);
    ASSERT_TRUE(written.written) << written.problem;
    EXPECT_EQ(HandOverValues(), Expected(1, camera));

    ASSERT_TRUE(store.ClearRequest().written);
    EXPECT_EQ(HandOverValues(), Expected(0, camera));
}

// The key a hand-over makes is open to every account; the keys made on the way and a key
// that was there keep what they have.
TEST_F(HandOverRegistry, OnlyANewKeyIsOpenedToEveryone)
{
    ASSERT_TRUE(store.ClearRequest().written);
    EXPECT_TRUE(GrantsEveryoneFullAccess(kKey));
    EXPECT_FALSE(GrantsEveryoneFullAccess(kVmsKey));

    SetKeySecurity("D:(A;OICI;KA;;;BA)(A;OICI;KA;;;SY)"); // administrators and the system only
    ASSERT_TRUE(store.ClearRequest().written);
    EXPECT_FALSE(EveryonesGrant(kKey));
}

// Each kind of value keeps its type and bytes; what fails returns the registry's own code
// and names the key.
TEST_F(HandOverRegistry, ValuesKeepTheirBytesAndFailuresAreTheRegistrys)
{
    const struct {
        const char *what;
        std::function<long(CVantoRegistry &)> write;
        std::string name;
        Stored stored;
    } cases[] = {
        {"all bits of a dword", [](CVantoRegistry &r) { return r.WriteDword("D", 0xDEADBEEF); }, "D",
         {REG_DWORD, Dword(0xDEADBEEF)}},
        {"text with CR LF", [](CVantoRegistry &r) { return r.WriteString("T", "a\r\nb", false); }, "T",
         {REG_SZ, Sz("a\r\nb")}},
        {"binary", [](CVantoRegistry &r) { return r.WriteString("B", "ab\n\xFF", true); }, "B",
         {REG_BINARY, "ab\n\xFF"}},
        {"empty binary", [](CVantoRegistry &r) { return r.WriteString("E", "", true); }, "E", {REG_BINARY, ""}},
        {"default value", [](CVantoRegistry &r) { return r.WriteString("", "x", false); }, "", {REG_SZ, Sz("x")}},
    };
    CVantoRegistry registry(REG_KEY_TEMP_SETTINGS);
    ASSERT_TRUE(registry.IsOpen()) << registry.LastProblem();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(c.write(registry), ERROR_SUCCESS);
        EXPECT_EQ(ReadValue(c.name), c.stored);
    }
    EXPECT_EQ(registry.WriteDword(std::string("IPCameraNeedSaveToHalvex\0x", 26), 1), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(ReadValue("IPCameraNeedSaveToHalvex")) << "a name cut at its NUL was written";
    EXPECT_EQ(registry.CloseKey(), ERROR_SUCCESS);
    EXPECT_EQ(registry.WriteDword("D", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(registry.CloseKey(), ERROR_INVALID_HANDLE);

    CVantoRegistry readOnly(REG_KEY_TEMP_SETTINGS, RegistryAccess::Read);
    EXPECT_EQ(readOnly.WriteDword("D", 1), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(readOnly.LastProblem().starts_with(kKeyName + ": ")) << readOnly.LastProblem();

    SetKeySecurity("D:(D;;0x2;;;WD)(A;OICI;KA;;;WD)"); // nobody may set a value
    const StoreWriteResult refused = store.Write({"10.77.0.11", "admin", "pass", 80});
    EXPECT_FALSE(refused.written);
    EXPECT_TRUE(refused.problem.starts_with(kKeyName + ": ")) << refused.problem;
    EXPECT_EQ(ReadValue("D"), (Stored{REG_DWORD, Dword(0xDEADBEEF)})) << "the refused write changed the key";
}
