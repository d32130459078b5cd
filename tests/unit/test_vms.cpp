// The registry writer read back by a reader of values.reg written here, apart from the
// writer, as the video management system would read it; real processes for the lock and
// for writers killed mid-write.
#include "tests/support/ValuesFileReader.h"
#include "vms/HandOver.h"
#include "vms/VantoRegistry.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
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

const CameraHandOver kCamera{"10.77.0.10", "", kPassword, 8080};

std::vector<Value> HandOverValues(std::uint32_t flag, const CameraHandOver &camera)
{
    return {{"IPCameraNeedSaveToHalvex", Kind::Dword, Dword(flag)},
            {"IPCameraAddress", Kind::Sz, Sz(camera.ip)},
            {"IPCameraUserName", Kind::Sz, Sz(camera.user)},
            {"IPCameraPassword", Kind::Sz, Sz(camera.password)},
            {"IPCameraHTTPPort", Kind::Dword, Dword(camera.httpPort)}};
}

// What happens to the names in a key's folder, as inotify reports it.
class KeyFolderWatch
{
public:
    explicit KeyFolderWatch(const std::string &folder) : m_fd(inotify_init1(IN_CLOEXEC))
    {
        m_valid = m_fd >= 0 && inotify_add_watch(m_fd, folder.c_str(), IN_CREATE | IN_MOVED_TO) >= 0;
    }
    ~KeyFolderWatch() { close(m_fd); }
    KeyFolderWatch(const KeyFolderWatch &) = delete;
    KeyFolderWatch &operator=(const KeyFolderWatch &) = delete;

    bool IsValid() const { return m_valid; }
    // Waits (10 s at most) for the next event of `mask` on a name that starts with `prefix`.
    bool Await(std::uint32_t mask, std::string_view prefix)
    {
        for (;;) {
            while (m_used < m_filled) {
                const auto *event = reinterpret_cast<const inotify_event *>(m_buffer + m_used);
                m_used += sizeof(inotify_event) + event->len;
                if ((event->mask & mask) != 0 && event->len > 0 && std::string_view(event->name).starts_with(prefix))
                    return true;
            }
            pollfd ready{m_fd, POLLIN, 0};
            const ssize_t got = poll(&ready, 1, 10000) == 1 ? read(m_fd, m_buffer, sizeof m_buffer) : -1;
            if (got <= 0)
                return false;
            m_filled = std::size_t(got);
            m_used = 0;
        }
    }

private:
    int m_fd;
    bool m_valid = false;
    alignas(inotify_event) char m_buffer[4096];
    std::size_t m_filled = 0, m_used = 0;
};

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
    ASSERT_TRUE(WriteHandOver(registry, kCamera).written);
    EXPECT_EQ(ReadText(ValuesPath()), "Windows Registry Editor Version 5.00\n"
                                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brenmark\\Halvex DVR\\PELMTempSettings]\n"
                                      "\"IPCameraNeedSaveToHalvex\"=dword:00000001\n"
                                      "\"IPCameraAddress\"=\"10.77.0.10\"\n"
                                      "\"IPCameraUserName\"=\"\"\n"
                                      "\"IPCameraPassword\"=\"p\\\"a\\\\ss\xC4\"\n"
                                      "\"IPCameraHTTPPort\"=dword:00001f90\n");
    std::vector<Value> expected = HandOverValues(1, kCamera);
    auto file = Parsed();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->key, kKey);
    EXPECT_EQ(file->values, expected);

    // The VMS clears the flag; names match without regard to case, as in the registry.
    ASSERT_EQ(registry.WriteDword("IPCameraNeedSaveToHalvex", 0), REGISTRY_SUCCESS);
    ASSERT_EQ(registry.WriteDword("ipcamerahttpport", 80), REGISTRY_SUCCESS);
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
        ASSERT_EQ(c.write(registry), REGISTRY_SUCCESS);
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
        ASSERT_EQ(registry.WriteDword("K", c.index), REGISTRY_SUCCESS);
        const auto file = ParseValuesFile(ReadText(Hive() + c.folder + "/values.reg"));
        ASSERT_TRUE(file);
        EXPECT_EQ(file->key + "\\", "HKEY_LOCAL_MACHINE\\" + c.path);
    }
}

// Only the key is open to everyone; the folders made on the way get the store's own mode,
// so no account gains the right to make keys elsewhere in the store.
TEST_F(Registry, OnlyTheNewKeyIsOpenToEveryoneDespiteTheUmask)
{
    const struct {
        const char *what;
        unsigned storeMode; // 0: the writer makes the store
        unsigned aboveKey, key;
    } cases[] = {{"store made by the writer", 0, 0755, 0777}, {"group-shared store", 02775, 02775, 02777}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(m_root);
        if (c.storeMode != 0) {
            ASSERT_EQ(mkdir(m_root.c_str(), 0700), 0);
            ASSERT_EQ(chmod(m_root.c_str(), c.storeMode), 0);
        }
        const mode_t saved = umask(077);
        const long written = CVantoRegistry(REG_KEY_TEMP_SETTINGS).WriteDword("IPCameraNeedSaveToHalvex", 1);
        umask(saved);
        ASSERT_EQ(written, REGISTRY_SUCCESS);
        EXPECT_EQ(ModeOf(m_root), c.storeMode != 0 ? c.storeMode : 0755u) << "the store is left as it was made";
        for (const std::string &above :
             {Hive(), Hive() + "/SOFTWARE", Hive() + "/SOFTWARE/Brenmark", Hive() + "/SOFTWARE/Brenmark/Halvex DVR"})
            EXPECT_EQ(ModeOf(above), c.aboveKey) << above;
        EXPECT_EQ(ModeOf(KeyFolder()), c.key);
        EXPECT_EQ(ModeOf(ValuesPath()), 0666u);
    }
}

TEST_F(Registry, ExistingKeyKeepsItsModesAndValuesButTakesNothingFromAnotherAccountsFile)
{
    fs::create_directories(KeyFolder());
    for (const std::string &key : {Hive(), KeyFolder()})
        chmod(key.c_str(), 0700);
    // As a hand-made file may be: CR LF, a comment, a blank line, a wrapped value.
    WriteText(ValuesPath(), "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Elsewhere]\r\n"
                            "; made by hand\r\n\"Installer\"=\"kept\"\r\n\"Wrapped\"=hex:01,02,\\\r\n  03,04\r\n");
    chmod(ValuesPath().c_str(), 0600);

    CVantoRegistry registry(REG_KEY_TEMP_SETTINGS);
    ASSERT_EQ(registry.WriteDword("IPCameraNeedSaveToHalvex", 1), REGISTRY_SUCCESS);
    EXPECT_EQ(ModeOf(Hive()), 0700u);
    EXPECT_EQ(ModeOf(KeyFolder()), 0700u);
    EXPECT_EQ(ModeOf(ValuesPath()), 0600u) << "this account's own file keeps its mode";
    const auto file = Parsed();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->key, kKey);
    const std::vector<Value> expected = {{"Installer", Kind::Sz, Sz("kept")},
                                         {"Wrapped", Kind::Binary, "\x01\x02\x03\x04"},
                                         {"IPCameraNeedSaveToHalvex", Kind::Dword, Dword(1)}};
    EXPECT_EQ(file->values, expected);

    // Another account's file, set-user-ID as a planted one may be: the replacement is
    // this account's own, readable by all, with no special bit. Only root can plant it.
    if (geteuid() == 0) {
        ASSERT_EQ(chown(ValuesPath().c_str(), 4242, 4243), 0);
        ASSERT_EQ(chmod(ValuesPath().c_str(), 04777), 0);
        ASSERT_EQ(registry.WriteDword("IPCameraNeedSaveToHalvex", 0), REGISTRY_SUCCESS);
        struct stat status {};
        ASSERT_EQ(stat(ValuesPath().c_str(), &status), 0);
        EXPECT_EQ(status.st_uid, 0u);
        EXPECT_EQ(status.st_mode & 07777, 0644u);
    }

    // A key that exists without values gets an ordinary file.
    const std::string channel = Hive() + "/SOFTWARE/Brenmark/Halvex DVR/Channel1";
    fs::create_directory(channel);
    chmod(channel.c_str(), 0755);
    ASSERT_EQ(CVantoRegistry(1).WriteDword("K", 1), REGISTRY_SUCCESS);
    EXPECT_EQ(ModeOf(channel + "/values.reg"), 0644u);
}

TEST_F(Registry, WritesNeedAnOpenWritableKeyAndAUsableName)
{
    WriteText(m_root, "a file where the root should be");
    CVantoRegistry blocked(REG_KEY_TEMP_SETTINGS);
    EXPECT_FALSE(blocked.IsOpen());
    EXPECT_NE(blocked.WriteDword("IPCameraNeedSaveToHalvex", 1), REGISTRY_SUCCESS);
    EXPECT_NE(blocked.WriteString("IPCameraAddress", "10.77.0.10", false), REGISTRY_SUCCESS);
    EXPECT_EQ(blocked.CloseKey(), REGISTRY_INVALID_HANDLE);
    fs::remove(m_root);

    CVantoRegistry readOnly(REG_KEY_TEMP_SETTINGS, RegistryAccess::Read);
    EXPECT_EQ(readOnly.WriteDword("IPCameraNeedSaveToHalvex", 1), EACCES);
    EXPECT_FALSE(fs::exists(ValuesPath()));

    CVantoRegistry registry(REG_KEY_TEMP_SETTINGS);
    ASSERT_EQ(registry.WriteDword("IPCameraNeedSaveToHalvex", 1), REGISTRY_SUCCESS);
    const std::string before = ReadText(ValuesPath());
    EXPECT_EQ(registry.WriteDword("x\n\"IPCameraNeedSaveToHalvex\"", 0), EINVAL);
    EXPECT_EQ(ReadText(ValuesPath()), before);
    EXPECT_EQ(registry.CloseKey(), REGISTRY_SUCCESS);
    EXPECT_FALSE(registry.IsOpen());
    EXPECT_EQ(registry.WriteDword("IPCameraNeedSaveToHalvex", 1), REGISTRY_INVALID_HANDLE);
    EXPECT_EQ(registry.CloseKey(), REGISTRY_INVALID_HANDLE);
}

TEST_F(Registry, FailedWriteLeavesTheFileAsItWas)
{
    {
        CVantoRegistry registry(REG_KEY_TEMP_SETTINGS);
        ASSERT_TRUE(WriteHandOver(registry, kCamera).written);
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

// What another account can plant in the store: the writer refuses each, names it, writes
// nothing through it and never blocks (a hang ends the test by its alarm).
TEST_F(Registry, PlantedEntriesAreRefusedAndNamed)
{
    const std::string victimFolder = m_base + "/victim";
    const std::string victimFile = victimFolder + "/values.reg";
    const std::string kVictimText = "the victim's own file\n";
    const auto plantFile = [&](const std::string &content) {
        fs::create_directories(KeyFolder());
        WriteText(ValuesPath(), content);
    };
    const struct {
        const char *what;
        std::function<void()> plant;
        long error;
        std::string problem;
    } cases[] = {
        {"key folder linked to another folder",
         [&] {
             fs::create_directories(fs::path(KeyFolder()).parent_path());
             fs::create_directory_symlink(victimFolder, KeyFolder());
         },
         REGISTRY_INVALID_HANDLE, KeyFolder() + " is a symbolic link"},
        {"folder above the key is a FIFO",
         [&] {
             fs::create_directories(Hive());
             mkfifo((Hive() + "/SOFTWARE").c_str(), 0666);
         },
         REGISTRY_INVALID_HANDLE, Hive() + "/SOFTWARE is a FIFO, not a folder"},
        {"values file linked to another file",
         [&] {
             fs::create_directories(KeyFolder());
             fs::create_symlink(victimFile, ValuesPath());
         },
         ELOOP, ValuesPath() + " is a symbolic link"},
        {"values file linked to /dev/zero",
         [&] {
             fs::create_directories(KeyFolder());
             fs::create_symlink("/dev/zero", ValuesPath());
         },
         ELOOP, ValuesPath() + " is a symbolic link"},
        {"values file with a second name",
         [&] {
             fs::create_directories(KeyFolder());
             fs::create_hard_link(victimFile, ValuesPath());
         },
         EMLINK, ValuesPath() + " has other names"},
        {"values file is a FIFO",
         [&] {
             fs::create_directories(KeyFolder());
             mkfifo(ValuesPath().c_str(), 0666);
         },
         ENOTDIR, ValuesPath() + " is a FIFO, not a file"},
        {"values file over 1 MiB",
         [&] { plantFile("Windows Registry Editor Version 5.00\n[x]\n\"Big\"=\"" + std::string(1 << 20, 'b') + "\"\n"); },
         EFBIG, ValuesPath() + " is larger than 1 MiB"},
    };
    alarm(30);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(m_root);
        fs::remove_all(victimFolder);
        fs::create_directories(victimFolder);
        WriteText(victimFile, kVictimText);
        c.plant();
        CVantoRegistry registry(REG_KEY_TEMP_SETTINGS);
        EXPECT_EQ(registry.WriteDword("IPCameraNeedSaveToHalvex", 1), c.error);
        EXPECT_NE(registry.LastProblem().find(c.problem), std::string::npos) << registry.LastProblem();
        EXPECT_EQ(ReadText(victimFile), kVictimText);
        EXPECT_EQ(fs::directory_iterator(victimFolder)->path(), victimFile) << "nothing was made in the victim's folder";
    }
    alarm(0);
}

// Anyone who can read the key can take its lock; a writer waits only so long, then says so.
TEST_F(Registry, HeldLockFailsTheWriteInTime)
{
    CVantoRegistry registry(REG_KEY_TEMP_SETTINGS);
    ASSERT_EQ(registry.WriteDword("IPCameraNeedSaveToHalvex", 0), REGISTRY_SUCCESS);
    const int holder = open(KeyFolder().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);
    registry.SetLockWait(std::chrono::milliseconds(200));
    EXPECT_EQ(registry.WriteDword("IPCameraNeedSaveToHalvex", 1), ETIMEDOUT);
    EXPECT_EQ(registry.LastProblem(), "the key " + KeyFolder() + " stayed locked by another program for 0.2 s");
    close(holder);
    EXPECT_EQ(registry.WriteDword("IPCameraNeedSaveToHalvex", 1), REGISTRY_SUCCESS);
    EXPECT_EQ(registry.LastProblem(), "");
}

// The flag goes back to 0 when the hand-over could not be written whole, so the VMS never
// takes the camera the values named before. Here the password is too large for the disk.
TEST_F(Registry, HandOverThatCannotBeWrittenTakesItsFlagBack)
{
    const CameraHandOver earlier{"10.77.0.20", "admin", "Earlier-pass", 80};
    {
        CVantoRegistry registry(REG_KEY_TEMP_SETTINGS);
        ASSERT_TRUE(WriteHandOver(registry, earlier).written);
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        signal(SIGXFSZ, SIG_IGN);
        CVantoRegistry registry(REG_KEY_TEMP_SETTINGS);
        const StoreWriteResult result = WriteHandOver(registry, {"10.77.0.21", "admin", std::string(5000, 'x'), 80});
        _exit(!result.written && result.problem.find("File too large") != std::string::npos ? 0 : 1);
    }
    ASSERT_EQ(ExitCodeOf(child), 0) << "the hand-over was not refused for its size";
    const auto file = Parsed();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->values, HandOverValues(0, earlier));
}

// Two copies hand over different cameras at once while the VMS reads: every read is one
// camera's values, whole.
TEST_F(Registry, TwoHandOversAtOnceNeverMix)
{
    const std::vector<CameraHandOver> cameras = {{"10.77.0.30", "admin", "Camera-30-pass", 8030},
                                                 {"10.77.0.31", "operator", "Camera-31-pass", 8031}};
    {
        CVantoRegistry registry(REG_KEY_TEMP_SETTINGS);
        ASSERT_TRUE(WriteHandOver(registry, cameras[0]).written);
    }
    std::vector<pid_t> writers;
    for (const CameraHandOver &camera : cameras) {
        writers.push_back(fork());
        ASSERT_GE(writers.back(), 0);
        if (writers.back() == 0) {
            for (int i = 0; i < 300; ++i) {
                CVantoRegistry registry(REG_KEY_TEMP_SETTINGS);
                if (!WriteHandOver(registry, camera).written)
                    _exit(1);
            }
            _exit(0);
        }
    }
    std::set<std::string> seen;
    std::size_t reads = 0;
    const auto bothDone = [&] {
        return std::all_of(writers.begin(), writers.end(), [](pid_t writer) { return waitpid(writer, nullptr, WNOHANG) != 0; });
    };
    for (bool done = false; !done; ++reads) {
        done = bothDone();
        const auto file = Parsed();
        ASSERT_TRUE(file) << "torn values.reg";
        const bool whole = file->values == HandOverValues(1, cameras[0]) || file->values == HandOverValues(1, cameras[1]);
        ASSERT_TRUE(whole) << "a mix of two cameras after " << reads << " reads";
        seen.insert(file->values[1].bytes);
    }
    EXPECT_EQ(seen.size(), 2u) << "the reader never saw the second camera";
}

// Killed at any point of a write, the writer leaves the previous values.reg or the new one.
// Each kill waits for the writer to have made the temporary file of a write (seen through
// inotify), so every kill lands inside a write whatever the machine's load.
TEST_F(Registry, KilledWriterNeverLeavesATornFile)
{
    const std::string shortPassword(10, 's'), longPassword(5000, 'L');
    {
        CVantoRegistry registry(REG_KEY_TEMP_SETTINGS);
        ASSERT_EQ(registry.WriteString("IPCameraPassword", shortPassword, false), REGISTRY_SUCCESS);
        ASSERT_EQ(registry.WriteDword("IPCameraHTTPPort", 1), REGISTRY_SUCCESS);
    }
    KeyFolderWatch watch(KeyFolder());
    ASSERT_TRUE(watch.IsValid());
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
        // A few whole writes first (their number varies, so both passwords get seen), then
        // the kill as soon as the next write has begun.
        bool reached = true;
        for (std::size_t rename = 0; rename < 1 + attempt % 4 && reached; ++rename)
            reached = watch.Await(IN_MOVED_TO, "values.reg");
        reached = reached && watch.Await(IN_CREATE, ".values.reg.");
        kill(writer, SIGKILL);
        int status = 0;
        waitpid(writer, &status, 0);
        ASSERT_TRUE(reached) << "the writer never got to write";
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself";

        const auto file = Parsed();
        ASSERT_TRUE(file) << "torn values.reg after kill " << attempt;
        ASSERT_EQ(file->values.size(), 2u);
        const Value &password = file->values[0], &port = file->values[1];
        EXPECT_TRUE(password.bytes == Sz(shortPassword) || password.bytes == Sz(longPassword));
        EXPECT_TRUE(port.bytes == Dword(1) || port.bytes == Dword(2));
        passwordsSeen.insert(password.bytes);
        ASSERT_LE(TempFiles(), 1u) << "a writer left the temp file of the one killed before it";
    }
    EXPECT_EQ(passwordsSeen.size(), 2u);
    ASSERT_EQ(CVantoRegistry(REG_KEY_TEMP_SETTINGS).WriteDword("IPCameraHTTPPort", 1), REGISTRY_SUCCESS);
    EXPECT_EQ(TempFiles(), 0u) << "the next write removes what the last killed writer left";
}

// A writer removes the temporary files killed writers left, and nothing else: not a
// name of another pattern, not a link (nor what it leads to), not a folder.
TEST_F(Registry, LeftTempFilesAreRemovedAndNothingElse)
{
    const std::string outside = m_base + "/outside.txt";
    WriteText(outside, "kept\n");
    const struct {
        const char *name;
        std::function<void(const std::string &)> make;
        bool removed;
    } cases[] = {
        {".values.reg.0123456789ab", [](const std::string &path) { WriteText(path, "left"); }, true},
        {".values.reg.fedcba987654", [](const std::string &path) { WriteText(path, ""); }, true},
        {".values.reg.0123456789AB", [](const std::string &path) { WriteText(path, "left"); }, false},
        {".values.reg.0123456789abc", [](const std::string &path) { WriteText(path, "left"); }, false},
        {".values.reg.notours", [](const std::string &path) { WriteText(path, "left"); }, false},
        {"values.reg.0123456789ab", [](const std::string &path) { WriteText(path, "left"); }, false},
        {".values.reg.00000000000a", [&](const std::string &path) { fs::create_symlink(outside, path); }, false},
        {".values.reg.00000000000b", [](const std::string &path) { fs::create_directory(path); }, false},
    };
    fs::create_directories(KeyFolder());
    for (const auto &c : cases)
        c.make(KeyFolder() + "/" + c.name);
    ASSERT_EQ(CVantoRegistry(REG_KEY_TEMP_SETTINGS).WriteDword("IPCameraHTTPPort", 1), REGISTRY_SUCCESS);
    for (const auto &c : cases)
        EXPECT_EQ(fs::exists(fs::symlink_status(KeyFolder() + "/" + c.name)), !c.removed) << c.name;
    EXPECT_EQ(ReadText(outside), "kept\n");
}
