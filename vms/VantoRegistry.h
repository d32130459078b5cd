#pragma once
// The registry values that hand a camera over to the video management system, and the
// writer that puts them where the platform keeps them: on Windows the registry itself; on
// Linux a file-backed hive, one folder per key, the key's values in one text file,
// values.reg, that is always replaced whole so the VMS never reads a torn file. Qt-free;
// the names here stay clear of those <windows.h> defines as macros.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum class RegistryHive : std::uint32_t { LocalMachine = 0x80000002u };

// Rights to a key, with the registry's values for them.
enum class RegistryAccess : std::uint32_t { SetValue = 0x0002, Read = 0x20019, All = 0xF003F };

// The registry's codes for a write or a close that succeeded and for one without an open key.
inline constexpr long REGISTRY_SUCCESS = 0;
inline constexpr long REGISTRY_INVALID_HANDLE = 6;

// Index of the key the hand-over is written to.
inline constexpr unsigned REG_KEY_TEMP_SETTINGS = 302;

// The key path of a key index, ending with a backslash: 0 is the VMS's own key, 1..264 its
// channels, REG_KEY_TEMP_SETTINGS the hand-over. Every other index is not used by this
// program and gives the empty path, which stands for the hive itself.
std::string RegistryKeyPath(unsigned index);

// The hive's name as the registry spells it (HKEY_LOCAL_MACHINE); null for an unknown hive.
const char *RegistryHiveName(RegistryHive hive);

// Where a key is, as shown to the user when a hand-over fails: its folder in the
// file-backed hive, or its full name in the registry; empty for an unknown hive.
std::string RegistryKeyFolder(unsigned index, RegistryHive hive = RegistryHive::LocalMachine);

// The folder that holds the file-backed hives: LANSCOUT_REGISTRY_ROOT when set and not
// empty, else /var/lib/lanscout/registry. Empty on Windows: the registry has no folder.
std::string RegistryRoot();

enum class RegistryType { Dword, Text, Binary }; // REG_DWORD, REG_SZ, REG_BINARY

// One value to write: its name, its type and its data as the registry keeps it.
class RegistryValue
{
public:
    static RegistryValue Dword(std::string name, std::uint32_t value);
    // raw false: REG_SZ, the text and its terminator. raw true: REG_BINARY, exactly the bytes.
    static RegistryValue String(std::string name, const std::string &text, bool raw);

    const std::string &Name() const { return m_name; }
    RegistryType Type() const { return m_type; }
    // A dword's four bytes lowest first, a text with its terminator, binary bytes as they are.
    const std::string &Bytes() const { return m_bytes; }

private:
    RegistryValue(std::string name, RegistryType type, std::string bytes)
        : m_name(std::move(name)), m_type(type), m_bytes(std::move(bytes))
    {
    }
    std::string m_name;
    RegistryType m_type;
    std::string m_bytes;
};

// A key made new is open to every account ("Everyone, full access"), so the VMS can read
// and clear a hand-over whichever user it runs as; the keys made on the way to it and an
// existing key keep what they have.
//
// The file-backed hive opens nothing through a link and never blocks: every folder and the
// values file are opened below their parent without following links, anything but a
// folder or a regular file where one is expected is refused, the values file is read up to
// 1 MiB, and the key's lock is waited for a few seconds at most.
class CVantoRegistry
{
public:
    // Opens the key, making it and any missing key above it. Never throws and reports
    // nothing: when the key cannot be opened (say the root is not writable), IsOpen()
    // is false, LastProblem() says why, and every write returns REGISTRY_INVALID_HANDLE.
    explicit CVantoRegistry(unsigned keyIndex, RegistryAccess access = RegistryAccess::All,
                            RegistryHive hive = RegistryHive::LocalMachine);
    // The same in the file-backed hive at root; the registry has no root and ignores it.
    CVantoRegistry(const std::string &root, unsigned keyIndex, RegistryAccess access = RegistryAccess::All,
                   RegistryHive hive = RegistryHive::LocalMachine);
    virtual ~CVantoRegistry();

    CVantoRegistry(const CVantoRegistry &) = delete;
    CVantoRegistry &operator=(const CVantoRegistry &) = delete;

    bool IsOpen() const;

    // Each write returns REGISTRY_SUCCESS, REGISTRY_INVALID_HANDLE when no key is open, or
    // the platform's code of the step that failed. The registry's codes are the Windows
    // ones. The file-backed hive replaces values.reg whole and gives the errno: EACCES when
    // the key was opened without RegistryAccess::SetValue, EINVAL for a name with a CR, LF
    // or NUL (the file then stays as it was); a rewritten value keeps its place there. An
    // empty name is the key's default value.
    long WriteDword(const std::string &name, std::uint32_t value);
    long WriteString(const std::string &name, const std::string &text, bool raw);
    // The values in the given order. In the file-backed hive all of them are one
    // replacement under one lock: a reader sees all of them or none. The registry takes
    // them one by one.
    long WriteValues(const std::vector<RegistryValue> &values);
    // Values a reader must see whole, published by the dword `flag` at 1: whoever reads the
    // flag at 1 finds these values beside it, never some of the earlier ones. The
    // file-backed hive writes the flag and the values as one replacement, the flag first
    // in its file. The registry has no replacement: there the flag goes to 0 first, the
    // values follow one by one, and the flag is set to 1 last.
    long WriteValuesUnderFlag(const std::string &flag, const std::vector<RegistryValue> &values);

    // REGISTRY_SUCCESS (or what closing the registry's key gave), or REGISTRY_INVALID_HANDLE
    // when no key is open.
    long CloseKey();

    // Why the key could not be opened or the last write failed, naming the place; empty
    // after a write that succeeded.
    const std::string &LastProblem() const { return m_problem; }
    // How long a write to the file-backed hive waits for another program's lock on the key
    // before it fails. The registry has no such lock.
    void SetLockWait(std::chrono::milliseconds wait) { m_lockWait = wait; }

private:
    struct Key; // the open key, as the platform holds it

    // Keeps the problem for LastProblem() and returns the code; 0 clears the problem.
    long Fail(long error, std::string problem);

    std::unique_ptr<Key> m_key;
    std::string m_problem;
    std::chrono::milliseconds m_lockWait{3000};
};
