// The registry writer read back by a reader of values.reg written here, apart from the
// writer, as the video management system would read it; real processes for the lock and
// for writers killed mid-write.
#include "tests/support/ValuesFileReader.h"
#include "vms/VantoRegistry.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

using regfile::Kind;
using regfile::ParseValuesFile;
using regfile::Value;
using regfile::ValuesFile;

// ---- Helpers

std::string Sz(const std::string &text)
{
    return text + '\0';
}

std::string Dword(std::uint32_t value)
{
    return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8 & 0xFF),
            static_cast<char>(value >> 16 & 0xFF), static_cast<char>(value >> 24)};
}

std::string ReadText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

unsigned ModeOf(const std::string &path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0xFFFFFFFFu;
}

int ExitCodeOf(pid_t child)
{
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const std::string kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Brenmark\\Halvex DVR\\PELMTempSettings";
const std::string kPassword = std::string("p\"a\\ss") + '\xC4';

long WriteHandOver(CVantoRegistry &registry)
{
    return registry.WriteDword("IPCameraNeedSaveToHalvex", 1) |
           registry.WriteString("IPCameraAddress", "10.77.0.10", false) |
           registry.WriteString("IPCameraUserName", "", false) |
           registry.WriteString("IPCameraPassword", kPassword, false) | registry.WriteDword("IPCameraHTTPPort", 8080);
}

class Registry : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string base = (fs::temp_directory_path() / "lanscout-vms-XXXXXX").string();
        ASSERT_NE(mkdtemp(base.data()), nullptr);
        m_base = base;
        m_root = m_base + "/registry";
        setenv("LANSCOUT_REGISTRY_ROOT", m_root.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("LANSCOUT_REGISTRY_ROOT");
        fs::remove_all(m_base);
    }

    std::string Hive() const { return m_root + "/HKEY_LOCAL_MACHINE"; }
    std::string KeyFolder() const { return Hive() + "/SOFTWARE/Brenmark/Halvex DVR/PELMTempSettings"; }
    std::string ValuesPath() const { return KeyFolder() + "/values.reg"; }
    std::optional<ValuesFile> Parsed() const { return ParseValuesFile(ReadText(ValuesPath())); }
    std::size_t TempFiles() const
    {
        std::size_t count = 0;
        for (const auto &entry : fs::directory_iterator(KeyFolder()))
            count += entry.path().filename().string().starts_with(".values.reg.");
        return count;
    }

    std::string m_base;
    std::string m_root;
};

} // namespace

TEST_F(Registry, HandOverIsWrittenInOrderAndRewrittenInPlace)
{
    CVantoRegistry registry(REG_KEY_TEMP_SETTINGS);
    ASSERT_TRUE(registry.IsOpen());
    ASSERT_EQ(WriteHandOver(registry), ERROR_SUCCESS);
    EXPECT_EQ(ReadText(ValuesPath()), "Windows Registry Editor Version 5.00\n"
                                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brenmark\\Halvex DVR\\PELMTempSettings]\n"
                                      "\"IPCameraNeedSaveToHalvex\"=dword:00000001\n"
                                      "\"IPCameraAddress\"=\"10.77.0.10\"\n"
                                      "\"IPCameraUserName\"=\"\"\n"
                                      "\"IPCameraPassword\"=\"p\\\"a\\\\ss\xC4\"\n"
                                      "\"IPCameraHTTPPort\"=dword:00001f90\n");
    std::vector<Value> expected = {{"IPCameraNeedSaveToHalvex", Kind::Dword, Dword(1)},
                                   {"IPCameraAddress", Kind::Sz, Sz("10.77.0.10")},
                                   {"IPCameraUserName", Kind::Sz, std::string(1, '\0')},
                                   {"IPCameraPassword", Kind::Sz, Sz(kPassword)},
                                   {"IPCameraHTTPPort", Kind::Dword, Dword(8080)}};
    auto file = Parsed();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->key, kKey);
    EXPECT_EQ(file->values, expected);

    // The VMS clears the flag; names match without regard to case, as in the registry.
    ASSERT_EQ(registry.WriteDword("IPCameraNeedSaveToHalvex", 0), ERROR_SUCCESS);
    ASSERT_EQ(registry.WriteDword("ipcamerahttpport", 80), ERROR_SUCCESS);
    expected[0].bytes = Dword(0);
    expected[4] = {"ipcamerahttpport", Kind::Dword, Dword(80)};
    file = Parsed();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->values, expected);
}

TEST_F(Registry, EachKindOfValueHasItsLine)
{
    struct Case {
        const char *what;
        std::function<long(CVantoRegistry &)> write;
        std::string line;
        Value value;
    };
    const std::vector<Case> cases = {
        {"all bits of a dword", [](CVantoRegistry &r) { return r.WriteDword("D", 0xDEADBEEF); },
         "\"D\"=dword:deadbeef", {"D", Kind::Dword, Dword(0xDEADBEEF)}},
        {"text with CR LF", [](CVantoRegistry &r) { return r.WriteString("T", "a\r\nb", false); },
         "\"T\"=hex(1):61,0d,0a,62,00", {"T", Kind::Sz, Sz("a\r\nb")}},
        {"text with a NUL", [](CVantoRegistry &r) { return r.WriteString("N", std::string("a\0b", 3), false); },
         "\"N\"=hex(1):61,00,62,00", {"N", Kind::Sz, Sz(std::string("a\0b", 3))}},
        {"binary", [](CVantoRegistry &r) { return r.WriteString("B", "ab\n\xFF", true); },
         "\"B\"=hex:61,62,0a,ff", {"B", Kind::Binary, "ab\n\xFF"}},
        {"empty binary", [](CVantoRegistry &r) { return r.WriteString("E", "", true); }, "\"E\"=hex:",
         {"E", Kind::Binary, ""}},
        {"name to escape", [](CVantoRegistry &r) { return r.WriteDword("q\"u\\o", 2); },
         "\"q\\\"u\\\\o\"=dword:00000002", {"q\"u\\o", Kind::Dword, Dword(2)}},
        {"default value", [](CVantoRegistry &r) { return r.WriteString("", "x", false); }, "@=\"x\"",
         {"", Kind::Sz, Sz("x")}},
    };
    CVantoRegistry registry(REG_KEY_TEMP_SETTINGS);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(c.write(registry), ERROR_SUCCESS);
        EXPECT_TRUE(ReadText(ValuesPath()).ends_with("\n" + c.line + "\n"));
        const auto file = Parsed();
        ASSERT_TRUE(file);
        EXPECT_EQ(file->values.back(), c.value);
    }
}

TEST_F(Registry, KeyTable)
{
    const std::string vms = "SOFTWARE\\Brenmark\\Halvex DVR\\";
    const struct {
        unsigned index;
        std::string path;
        std::string folder;
    } cases[] = {{0, vms, "/SOFTWARE/Brenmark/Halvex DVR"},
                 {1, vms + "Channel1\\", "/SOFTWARE/Brenmark/Halvex DVR/Channel1"},
                 {264, vms + "Channel264\\", "/SOFTWARE/Brenmark/Halvex DVR/Channel264"},
                 {265, "", ""},
                 {301, "", ""},
                 {REG_KEY_TEMP_SETTINGS, vms + "PELMTempSettings\\", "/SOFTWARE/Brenmark/Halvex DVR/PELMTempSettings"},
                 {312, "", ""},
                 {313, "", ""},
                 {0xFFFFFFFFu, "", ""}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(RegistryKeyPath(c.index), c.path);
        EXPECT_EQ(RegistryKeyFolder(c.index), Hive() + c.folder);
        CVantoRegistry registry(c.index);
        ASSERT_EQ(registry.WriteDword("K", c.index), ERROR_SUCCESS);
        const auto file = ParseValuesFile(ReadText(Hive() + c.folder + "/values.reg"));
        ASSERT_TRUE(file);
        EXPECT_EQ(file->key + "\\", "HKEY_LOCAL_MACHINE\\" + c.path);
    }
}

TEST_F(Registry, NewKeyIsOpenToEveryoneDespiteTheUmask)
{
    const mode_t saved = umask(077);
    CVantoRegistry registry(REG_KEY_TEMP_SETTINGS);
    const long written = registry.WriteDword("IPCameraNeedSaveToHalvex", 1);
    umask(saved);
    ASSERT_EQ(written, ERROR_SUCCESS);
    EXPECT_EQ(ModeOf(m_root), 0755u);
    for (const std::string &key : {Hive(), Hive() + "/SOFTWARE", Hive() + "/SOFTWARE/Brenmark",
                                   Hive() + "/SOFTWARE/Brenmark/Halvex DVR", KeyFolder()})
        EXPECT_EQ(ModeOf(key), 0777u) << key;
    EXPECT_EQ(ModeOf(ValuesPath()), 0666u);
}

TEST_F(Registry, NewKeyInAGroupSharedStoreStaysInTheStoresGroup)
{
    ASSERT_EQ(mkdir(m_root.c_str(), 0700), 0);
    ASSERT_EQ(chmod(m_root.c_str(), 02775), 0);
    CVantoRegistry registry(REG_KEY_TEMP_SETTINGS);
    ASSERT_EQ(registry.WriteDword("IPCameraNeedSaveToHalvex", 1), ERROR_SUCCESS);
    EXPECT_EQ(ModeOf(m_root), 02775u) << "the store itself is left as it was made";
    for (const std::string &key : {Hive(), KeyFolder()})
        EXPECT_EQ(ModeOf(key), 02777u) << key;
}

TEST_F(Registry, ExistingKeyKeepsItsModesOwnerAndValues)
{
    fs::create_directories(KeyFolder());
    for (const std::string &key : {Hive(), KeyFolder()})
        chmod(key.c_str(), 0700);
    // As a hand-made file may be: CR LF, a comment, a blank line, a wrapped value.
    WriteText(ValuesPath(), "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Elsewhere]\r\n"
                            "; made by hand\r\n\"Installer\"=\"kept\"\r\n\"Wrapped\"=hex:01,02,\\\r\n  03,04\r\n");
    chmod(ValuesPath().c_str(), 0600);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(ValuesPath().c_str(), 4242, 4243), 0);
    }

    CVantoRegistry registry(REG_KEY_TEMP_SETTINGS);
    ASSERT_EQ(registry.WriteDword("IPCameraNeedSaveToHalvex", 1), ERROR_SUCCESS);
    EXPECT_EQ(ModeOf(Hive()), 0700u);
    EXPECT_EQ(ModeOf(KeyFolder()), 0700u);
    EXPECT_EQ(ModeOf(ValuesPath()), 0600u);
    struct stat status {};
    ASSERT_EQ(stat(ValuesPath().c_str(), &status), 0);
    if (root) {
        EXPECT_EQ(status.st_uid, 4242u);
        EXPECT_EQ(status.st_gid, 4243u);
    }
    const auto file = Parsed();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->key, kKey);
    const std::vector<Value> expected = {{"Installer", Kind::Sz, Sz("kept")},
                                         {"Wrapped", Kind::Binary, "\x01\x02\x03\x04"},
                                         {"IPCameraNeedSaveToHalvex", Kind::Dword, Dword(1)}};
    EXPECT_EQ(file->values, expected);

    // A key that exists without values gets an ordinary file.
    const std::string channel = Hive() + "/SOFTWARE/Brenmark/Halvex DVR/Channel1";
    fs::create_directory(channel);
    ASSERT_EQ(CVantoRegistry(1).WriteDword("K", 1), ERROR_SUCCESS);
    EXPECT_EQ(ModeOf(channel + "/values.reg"), 0644u);
}

TEST_F(Registry, WritesNeedAnOpenWritableKeyAndAUsableName)
{
    WriteText(m_root, "a file where the root should be");
    CVantoRegistry blocked(REG_KEY_TEMP_SETTINGS);
    EXPECT_FALSE(blocked.IsOpen());
    EXPECT_NE(blocked.WriteDword("IPCameraNeedSaveToHalvex", 1), ERROR_SUCCESS);
    EXPECT_NE(blocked.WriteString("IPCameraAddress", "10.77.0.10", false), ERROR_SUCCESS);
    EXPECT_EQ(blocked.CloseKey(), ERROR_INVALID_HANDLE);
    fs::remove(m_root);

    CVantoRegistry readOnly(REG_KEY_TEMP_SETTINGS, KEY_READ);
    EXPECT_EQ(readOnly.WriteDword("IPCameraNeedSaveToHalvex", 1), EACCES);
    EXPECT_FALSE(fs::exists(ValuesPath()));

    CVantoRegistry registry(REG_KEY_TEMP_SETTINGS);
    ASSERT_EQ(registry.WriteDword("IPCameraNeedSaveToHalvex", 1), ERROR_SUCCESS);
    const std::string before = ReadText(ValuesPath());
    EXPECT_EQ(registry.WriteDword("x\n\"IPCameraNeedSaveToHalvex\"", 0), EINVAL);
    EXPECT_EQ(ReadText(ValuesPath()), before);
    EXPECT_EQ(registry.CloseKey(), ERROR_SUCCESS);
    EXPECT_FALSE(registry.IsOpen());
    EXPECT_EQ(registry.WriteDword("IPCameraNeedSaveToHalvex", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(registry.CloseKey(), ERROR_INVALID_HANDLE);
}

TEST_F(Registry, FailedWriteLeavesTheFileAsItWas)
{
    {
        CVantoRegistry registry(REG_KEY_TEMP_SETTINGS);
        ASSERT_EQ(WriteHandOver(registry), ERROR_SUCCESS);
    }
    const std::string before = ReadText(ValuesPath());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{4096, 4096}; // the disk fills up in the middle of the write
        setrlimit(RLIMIT_FSIZE, &limit);
        signal(SIGXFSZ, SIG_IGN);
        CVantoRegistry registry(REG_KEY_TEMP_SETTINGS);
        _exit(static_cast<int>(registry.WriteString("IPCameraPassword", std::string(5000, 'x'), false)));
    }
    EXPECT_EQ(ExitCodeOf(child), EFBIG);
    EXPECT_EQ(ReadText(ValuesPath()), before);
    EXPECT_EQ(TempFiles(), 0u);

    // A values file that is there but cannot be read is not thrown away. A link to itself
    // stands in for a file of another account, as root reads every file.
    fs::remove(ValuesPath());
    fs::create_symlink("values.reg", ValuesPath());
    EXPECT_EQ(CVantoRegistry(REG_KEY_TEMP_SETTINGS).WriteDword("IPCameraNeedSaveToHalvex", 1), ELOOP);
    EXPECT_TRUE(fs::is_symlink(ValuesPath()));
    EXPECT_EQ(TempFiles(), 0u);
}

TEST_F(Registry, TwoWritersKeepEachOthersValues)
{
    constexpr int kValuesEach = 60;
    std::vector<pid_t> writers;
    for (const char *prefix : {"A", "B"}) {
        writers.push_back(fork());
        ASSERT_GE(writers.back(), 0);
        if (writers.back() == 0) {
            CVantoRegistry registry(REG_KEY_TEMP_SETTINGS);
            for (int i = 0; i < kValuesEach; ++i)
                if (registry.WriteDword(prefix + std::to_string(i), static_cast<std::uint32_t>(i)) != 0)
                    _exit(1);
            _exit(0);
        }
    }
    for (const pid_t writer : writers)
        EXPECT_EQ(ExitCodeOf(writer), 0);
    const auto file = Parsed();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->values.size(), 2u * kValuesEach);
}

TEST_F(Registry, KilledWriterNeverLeavesATornFile)
{
    const std::string shortPassword(10, 's'), longPassword(5000, 'L');
    {
        CVantoRegistry registry(REG_KEY_TEMP_SETTINGS);
        ASSERT_EQ(registry.WriteString("IPCameraPassword", shortPassword, false), ERROR_SUCCESS);
        ASSERT_EQ(registry.WriteDword("IPCameraHTTPPort", 1), ERROR_SUCCESS);
    }
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> delay(0, 20000);
    std::set<std::string> passwordsSeen;
    for (std::size_t attempt = 1; attempt <= 150; ++attempt) {
        const pid_t writer = fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            CVantoRegistry registry(REG_KEY_TEMP_SETTINGS);
            for (std::uint32_t i = 0;; ++i)
                if (registry.WriteString("IPCameraPassword", i % 2 ? longPassword : shortPassword, false) != 0 ||
                    registry.WriteDword("IPCameraHTTPPort", 1 + i % 2) != 0)
                    _exit(1);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        kill(writer, SIGKILL);
        int status = 0;
        waitpid(writer, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself";

        const auto file = Parsed();
        ASSERT_TRUE(file) << "torn values.reg after kill " << attempt;
        ASSERT_EQ(file->values.size(), 2u);
        const Value &password = file->values[0], &port = file->values[1];
        EXPECT_TRUE(password.bytes == Sz(shortPassword) || password.bytes == Sz(longPassword));
        EXPECT_TRUE(port.bytes == Dword(1) || port.bytes == Dword(2));
        passwordsSeen.insert(password.bytes);
        ASSERT_LE(TempFiles(), attempt) << "more than one temp file left by one killed write";
    }
    EXPECT_EQ(passwordsSeen.size(), 2u) << "the writer never got to write";
    RecordProperty("temp_files_left", static_cast<int>(TempFiles()));
    std::cout << "temp files left by 150 killed writers: " << TempFiles() << "\n";
}
