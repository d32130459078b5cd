// The hand-over on the Windows registry, read back through the registry's own interface
// as the management system reads it, apart from the writer, and the key's security as an
// administrator sees it. The management system is a 32-bit program: it reads the
// registry's 32-bit view, and so do these tests. Each test starts without the management
// system's keys in either view; the last hand-over stays for reg.exe to show
// (handover_reg_query.sh).
#include "vms/HandOver.h"
#include "vms/VantoRegistry.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <sddl.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
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

// A text as the registry keeps it: UTF-16, each of the program's Latin-1 bytes one
// character, and the terminator. The management system reads it back in its own code page.
std::string Sz(const std::string &text)
{
    std::string utf16;
    for (const char byte : text + '\0')
        utf16 += {byte, '\0'};
    return utf16;
}

// Where the management system reads, and the view a 64-bit program gets by default.
constexpr REGSAM kVmsView = KEY_WOW64_32KEY;
constexpr REGSAM kNativeView = KEY_WOW64_64KEY;

// A value's type and exact bytes in an open key, or nothing when it is not there. Read as
// UTF-16, whatever the code page this test runs with (lanscout.exe's manifest makes it
// UTF-8), and in one call for a short value, so that a reader keeps up with a writer.
std::optional<Stored> ReadValue(HKEY key, const std::string &name)
{
    const std::wstring wideName(name.begin(), name.end());
    DWORD type = 0;
    std::string bytes(256, '\0');
    DWORD size = DWORD(bytes.size());
    LONG read = RegQueryValueExW(key, wideName.c_str(), nullptr, &type, reinterpret_cast<BYTE *>(bytes.data()), &size);
    if (read == ERROR_MORE_DATA) {
        bytes.resize(size);
        read = RegQueryValueExW(key, wideName.c_str(), nullptr, &type, reinterpret_cast<BYTE *>(bytes.data()), &size);
    }
    if (read != ERROR_SUCCESS)
        return std::nullopt;
    return Stored{type, bytes.substr(0, size)};
}

// The hand-over key, opened to read for as long as this lives; not open when it is not there.
class ReadableKey
{
public:
    explicit ReadableKey(REGSAM view = kVmsView)
    {
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE | view, &m_key) != ERROR_SUCCESS)
            m_key = nullptr;
    }
    ~ReadableKey()
    {
        if (m_key != nullptr)
            RegCloseKey(m_key);
    }
    ReadableKey(const ReadableKey &) = delete;
    ReadableKey &operator=(const ReadableKey &) = delete;

    std::optional<Stored> Read(const std::string &name) const
    {
        return m_key != nullptr ? ReadValue(m_key, name) : std::nullopt;
    }

private:
    HKEY m_key = nullptr;
};

std::optional<Stored> ReadValue(const std::string &name)
{
    return ReadableKey().Read(name);
}

bool KeyExists(REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

constexpr const char *kHandOverNames[] = {"IPCameraNeedSaveToHalvex", "IPCameraAddress", "IPCameraUserName",
                                           "IPCameraPassword", "IPCameraHTTPPort"};

std::vector<std::optional<Stored>> HandOverValues()
{
    std::vector<std::optional<Stored>> values;
    for (const char *name : kHandOverNames)
        values.push_back(ReadValue(name));
    return values;
}

// The same, read from the last value a hand-over writes to the first, as a reader may: a
// reader that comes early finds the later ones still old.
std::vector<std::optional<Stored>> HandOverValuesLastFirst(const ReadableKey &key)
{
    std::vector<std::optional<Stored>> values(std::size(kHandOverNames));
    for (std::size_t i = values.size(); i-- > 0;)
        values[i] = key.Read(kHandOverNames[i]);
    return values;
}

// Sets the flag as the management system does when it takes a hand-over.
void SetFlag(std::uint32_t value)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE | kVmsView, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "IPCameraNeedSaveToHalvex", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value),
                             sizeof value),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

bool RemoveVmsKeys(REGSAM view)
{
    HKEY software = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS | view, &software) != ERROR_SUCCESS)
        return false;
    const LONG removed = RegDeleteTreeA(software, "Brenmark");
    RegCloseKey(software);
    return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
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
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, READ_CONTROL | kVmsView, &key) != ERROR_SUCCESS)
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
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS | kVmsView, nullptr, &key,
                              nullptr),
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
        ASSERT_TRUE(RemoveVmsKeys(kVmsView));
        ASSERT_TRUE(RemoveVmsKeys(kNativeView));
    }

    const CHandOverStore store{RegistryRoot()};
};

} // namespace

// The five values with their types and exact bytes, in the 32-bit view and nowhere else;
// every start of the program takes the flag back and leaves the camera.
TEST_F(HandOverRegistry, HandOverIsReadAsWrittenAndTheStartClearsOnlyTheFlag)
{
    const CameraHandOver camera{"10.77.0.10", "admin", std::string("p\"a\\ss") + '\xC4', 8080};
    const StoreWriteResult written = store.Write(camera);
    ASSERT_TRUE(written.written) << written.problem;
    EXPECT_EQ(HandOverValues(), Expected(1, camera));
    EXPECT_FALSE(KeyExists(kNativeView)) << "the hand-over went to the 64-bit view, which the VMS does not read";

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

// The management system waits for the flag, reads the camera and takes the flag back. The
// registry writes a value at a time, so however the writes fall between its reads, the
// flag at 1 must stand beside the camera handed over last, whole.
TEST_F(HandOverRegistry, AReaderThatSeesTheFlagSeesTheWholeCameraHandedOver)
{
    constexpr int kHandOvers = 200;
    const auto camera = [](int n) {
        return CameraHandOver{"10.77.1." + std::to_string(n % 250), "user" + std::to_string(n),
                              "password" + std::to_string(n), std::uint32_t(8000 + n)};
    };
    ASSERT_TRUE(store.Write(camera(0)).written);
    SetFlag(0);
    std::atomic<int> handingOver{0};
    std::atomic<bool> finished{false};
    std::atomic<int> taken{0};
    std::vector<std::string> mixes;
    std::thread vms;
    const struct Joiner { // also when an assertion below ends the test early
        std::atomic<bool> &finished;
        std::thread &reader;
        ~Joiner()
        {
            finished = true;
            if (reader.joinable())
                reader.join();
        }
    } joiner{finished, vms};
    vms = std::thread([&] {
        const ReadableKey key;
        while (!finished) {
            if (key.Read("IPCameraNeedSaveToHalvex") != Stored{REG_DWORD, Dword(1)})
                continue;
            const std::vector<std::optional<Stored>> seen = HandOverValuesLastFirst(key);
            if (const int n = handingOver; seen != Expected(1, camera(n)))
                mixes.push_back("hand-over " + std::to_string(n) + ": " + ::testing::PrintToString(seen));
            SetFlag(0);
            ++taken;
        }
    });
    for (int n = 1; n <= kHandOvers; ++n) {
        handingOver = n;
        ASSERT_TRUE(store.Write(camera(n)).written);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (taken < n && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        ASSERT_EQ(taken, n) << "the reader did not take hand-over " << n;
    }
    finished = true;
    vms.join();
    EXPECT_TRUE(mixes.empty()) << mixes.size() << " reads saw the flag beside another camera, first "
                               << mixes.front();
}
