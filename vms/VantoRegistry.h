#pragma once
// The registry values that hand a camera over to the video management system. On Linux
// the registry is a file-backed hive: one folder per key, the key's values in one text
// file, values.reg, that is always replaced whole so the VMS never reads a torn file.
// Qt-free.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

enum class RegistryHive : std::uint32_t { LocalMachine = 0x80000002u };
inline constexpr RegistryHive HKEY_LOCAL_MACHINE = RegistryHive::LocalMachine;

inline constexpr std::uint32_t KEY_SET_VALUE = 0x0002;
inline constexpr std::uint32_t KEY_READ = 0x20019;
inline constexpr std::uint32_t KEY_ALL_ACCESS = 0xF003F;

inline constexpr long ERROR_SUCCESS = 0;
inline constexpr long ERROR_INVALID_HANDLE = 6;

// Index of the key the hand-over is written to.
inline constexpr unsigned REG_KEY_TEMP_SETTINGS = 302;

// The key path of a key index, ending with a backslash: 0 is the VMS's own key, 1..264 its
// channels, REG_KEY_TEMP_SETTINGS the hand-over. Every other index is not used by this
// program and gives the empty path, which stands for the hive itself.
std::string RegistryKeyPath(unsigned index);

// The folder of a key in the file-backed hive, as shown to the user when a hand-over fails;
// empty for an unknown hive.
std::string RegistryKeyFolder(unsigned index, RegistryHive hive = HKEY_LOCAL_MACHINE);

// The folder that holds the hives: LANSCOUT_REGISTRY_ROOT when set and not empty,
// else /var/lib/lanscout/registry.
std::string RegistryRoot();

// One value to write: its name and its data as values.reg holds it.
class RegistryValue
{
public:
    static RegistryValue Dword(std::string name, std::uint32_t value);
    // raw false: REG_SZ, the text and its terminator. raw true: REG_BINARY, exactly the bytes.
    static RegistryValue String(std::string name, const std::string &text, bool raw);

    const std::string &Name() const { return m_name; }
    const std::string &Data() const { return m_data; }

private:
    RegistryValue(std::string name, std::string data) : m_name(std::move(name)), m_data(std::move(data)) {}
    std::string m_name;
    std::string m_data;
};

// "Everyone, full access" on a file-backed hive: a key made here is open to every account,
// so the VMS can read and clear a hand-over whichever user it runs as. Only the key gets
// it; the folders made on the way to it get no more than the store itself grants. The
// modes are set after creation, so the umask cannot narrow them.
class CKeySecurity
{
public:
    // A mode needs no preparation, so this is always ready.
    bool IsReady() const { return true; }
    // Gives a newly made key folder its mode. 0, or the errno of the failure.
    int ApplyToKey(int folder) const;
    mode_t KeyFolderMode() const { return 0777; }
    mode_t ValuesFileMode() const { return 0666; }
};

// The store opens nothing through a link and never blocks: every folder and the values
// file are opened below their parent without following links, anything but a folder or
// a regular file where one is expected is refused, the values file is read up to 1 MiB,
// and the key's lock is waited for a few seconds at most.
class CVantoRegistry
{
public:
    // Opens the key, making it and any missing key above it. Never throws and reports
    // nothing: when the key cannot be opened (say the root is not writable), IsOpen()
    // is false, LastProblem() says why, and every write returns ERROR_INVALID_HANDLE.
    explicit CVantoRegistry(unsigned keyIndex, std::uint32_t access = KEY_ALL_ACCESS,
                            RegistryHive hive = HKEY_LOCAL_MACHINE);
    // The same in the store at root.
    CVantoRegistry(const std::string &root, unsigned keyIndex, std::uint32_t access = KEY_ALL_ACCESS,
                   RegistryHive hive = HKEY_LOCAL_MACHINE);
    virtual ~CVantoRegistry();

    CVantoRegistry(const CVantoRegistry &) = delete;
    CVantoRegistry &operator=(const CVantoRegistry &) = delete;

    bool IsOpen() const;

    // Each write replaces values.reg whole and returns ERROR_SUCCESS, ERROR_INVALID_HANDLE
    // when no key is open, EACCES when the key was opened without KEY_SET_VALUE, EINVAL for
    // a name with a CR, LF or NUL, or the errno of the step that failed (the file then stays
    // as it was). A rewritten value keeps its place. An empty name is the key's default value.
    long WriteDword(const std::string &name, std::uint32_t value);
    long WriteString(const std::string &name, const std::string &text, bool raw);
    // All the values in one replacement under one lock: a reader sees all of them or none.
    long WriteValues(const std::vector<RegistryValue> &values);

    // ERROR_SUCCESS, or ERROR_INVALID_HANDLE when no key is open.
    long CloseKey();

    // Why the key could not be opened or the last write failed, naming the place; empty
    // after a write that succeeded.
    const std::string &LastProblem() const { return m_problem; }
    // How long a write waits for another program's lock on the key before it fails.
    void SetLockWait(std::chrono::milliseconds wait) { m_lockWait = wait; }

private:
    // Keeps the problem for LastProblem() and returns the code; 0 clears the problem.
    long Fail(int error, std::string problem);
    long StoreValues(const std::vector<RegistryValue> &values);

    CKeySecurity m_security;
    std::uint32_t m_access;
    int m_keyFd = -1;
    std::string m_folder; // for messages
    std::string m_keyLine;
    std::string m_problem;
    std::chrono::milliseconds m_lockWait{3000};
};
