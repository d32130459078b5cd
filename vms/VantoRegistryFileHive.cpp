// The registry on Linux: a file-backed hive, each key a folder below the root, its values in
// values.reg in the text format of Windows .reg exports, always replaced whole.
#include "vms/VantoRegistry.h"

#include "platform/TemporaryName.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sstream>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr const char *kDefaultRoot = "/var/lib/lanscout/registry";
constexpr const char *kRootVariable = "LANSCOUT_REGISTRY_ROOT";
constexpr const char *kValuesFile = "values.reg";
constexpr const char *kFileHeader = "Windows Registry Editor Version 5.00";
// The folders on the way to the hive only need to be passable for the VMS's account.
constexpr mode_t kRootFolderMode = 0755;
constexpr mode_t kValuesFileInClosedKeyMode = 0644;
// A text with one of these cannot stand between quotes on one line.
constexpr std::string_view kLineBreaking{"\r\n\0", 3};

// ---- Where a key lives

// The non-empty parts of a path between its separators.
std::vector<std::string> PathParts(const std::string &path, char separator)
{
    std::vector<std::string> parts;
    std::istringstream in(path);
    for (std::string part; std::getline(in, part, separator);)
        if (!part.empty())
            parts.push_back(part);
    return parts;
}

struct KeyLocation {
    std::vector<std::string> folders; // below the root: the hive's folder first, the key's own last
    std::string path;                 // the key's folder, for messages
    std::string headerLine;           // [HKEY_LOCAL_MACHINE\SOFTWARE\...]
};

KeyLocation LocateKey(const std::string &root, const char *hiveName, const std::string &keyPath)
{
    KeyLocation key{{hiveName}, root + "/" + hiveName, std::string("[") + hiveName};
    for (const std::string &part : PathParts(keyPath, '\\')) {
        key.folders.push_back(part);
        key.path += "/" + part;
        key.headerLine += "\\" + part;
    }
    key.headerLine += "]";
    return key;
}

// ---- One value, one line

std::string Escaped(const std::string &text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

std::string NameField(const std::string &name)
{
    return name.empty() ? std::string("@") : '"' + Escaped(name) + '"';
}

void AppendHex(std::string &out, char c)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    const auto byte = static_cast<unsigned char>(c);
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
}

std::string HexList(const std::string &bytes)
{
    std::string out;
    for (const char c : bytes) {
        if (!out.empty())
            out += ',';
        AppendHex(out, c);
    }
    return out;
}

// dword:0000001f, the value's four bytes highest first.
std::string DwordData(const std::string &bytes)
{
    std::string data = "dword:";
    for (auto byte = bytes.rbegin(); byte != bytes.rend(); ++byte)
        AppendHex(data, *byte);
    return data;
}

// The text between quotes, or its bytes and terminator when it would break the line.
std::string TextData(const std::string &bytes)
{
    const std::string text = bytes.substr(0, bytes.size() - 1);
    if (text.find_first_of(kLineBreaking) != std::string::npos)
        return "hex(1):" + HexList(bytes);
    return '"' + Escaped(text) + '"';
}

std::string ValueData(const RegistryValue &value)
{
    switch (value.Type()) {
    case RegistryType::Dword:
        return DwordData(value.Bytes());
    case RegistryType::Text:
        return TextData(value.Bytes());
    case RegistryType::Binary:
        break;
    }
    return "hex:" + HexList(value.Bytes());
}

// A name with a line break would split its line and could pass for other values.
bool IsUsableName(const std::string &name)
{
    return name.find_first_of(kLineBreaking) == std::string::npos;
}

// ---- The values file

// Length of the name field ("Name" or @) that starts a value line, 0 when it is no value line.
std::size_t NameLength(std::string_view line)
{
    std::size_t end = 0;
    if (line.starts_with('@'))
        end = 1;
    else if (line.starts_with('"'))
        for (std::size_t i = 1; i < line.size() && end == 0; ++i) {
            if (line[i] == '\\')
                ++i;
            else if (line[i] == '"')
                end = i + 1;
        }
    return end != 0 && end < line.size() && line[end] == '=' ? end : 0;
}

// The registry compares value names without regard to ASCII case.
bool SameName(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](char x, char y) { return lower(x) == lower(y); });
}

// The value lines of a values file, in order. A value wrapped over several lines with a
// trailing backslash, as a hand-made file may have it, is joined into one. Headers,
// blank lines, comments and whatever else is not a value are left out.
std::vector<std::string> ValueLines(const std::string &content)
{
    std::vector<std::string> values;
    bool continues = false;
    std::istringstream in(content);
    for (std::string line; std::getline(in, line);) {
        if (line.ends_with('\r'))
            line.pop_back();
        if (continues) {
            values.back().pop_back();
            values.back() += line.substr(std::min(line.size(), line.find_first_not_of(" \t")));
        } else if (NameLength(line) != 0) {
            values.push_back(line);
        } else {
            continue;
        }
        continues = values.back().ends_with('\\');
    }
    return values;
}

// A value already there is rewritten in its place (and any later duplicate of it dropped);
// a new one goes last.
void PutValue(std::vector<std::string> &values, const std::string &line)
{
    const std::string_view name(line.data(), NameLength(line));
    const auto sameName = [&](const std::string &value) {
        return SameName(std::string_view(value.data(), NameLength(value)), name);
    };
    const auto found = std::find_if(values.begin(), values.end(), sameName);
    if (found == values.end()) {
        values.push_back(line);
        return;
    }
    *found = line;
    values.erase(std::remove_if(found + 1, values.end(), sameName), values.end());
}

std::string FileContent(const std::string &headerLine, const std::vector<std::string> &values)
{
    std::string content = std::string(kFileHeader) + "\n" + headerLine + "\n";
    for (const std::string &value : values)
        content += value + "\n";
    return content;
}

// ---- Files

constexpr std::size_t kMaxValuesFileSize = std::size_t(1) << 20;
constexpr std::chrono::milliseconds kLockPoll{10};
// Traversing a folder needs no read access to it; the key itself is locked and synced.
constexpr int kPassFolderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr int kOwnFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

class Descriptor
{
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { Reset(-1); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    bool IsValid() const { return m_fd >= 0; }
    int Get() const { return m_fd; }
    void Reset(int fd)
    {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = fd;
    }
    int Release() { return std::exchange(m_fd, -1); }

private:
    int m_fd = -1;
};

// A failed step: the errno to return and the reason in words, naming the place.
struct Outcome {
    int error = 0;
    std::string why;
    bool Failed() const { return error != 0; }
};

Outcome SystemError(int error, const std::string &path)
{
    return {error, path + ": " + std::strerror(error)};
}

enum class Wanted { Folder, File };

const char *KindOfEntry(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISREG(mode))
        return "a file";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    return "a socket";
}

bool IsWantedKind(mode_t mode, Wanted wanted)
{
    return wanted == Wanted::Folder ? S_ISDIR(mode) : S_ISREG(mode);
}

// Nothing but a folder or a regular file is used where one is expected: a link could
// lead anywhere, a FIFO or a device would block or never end.
Outcome CheckKind(const std::string &path, mode_t mode, Wanted wanted)
{
    if (IsWantedKind(mode, wanted))
        return {};
    if (S_ISLNK(mode))
        return {ELOOP, path + " is a symbolic link, which the store never follows"};
    const char *want = wanted == Wanted::Folder ? ", not a folder" : ", not a file";
    return {S_ISDIR(mode) ? EISDIR : ENOTDIR, path + " is " + KindOfEntry(mode) + want};
}

// Why `name` below `parent` could not be opened: what stands there, or the system's reason.
Outcome OpenFailure(int parent, const std::string &name, const std::string &path, int error, Wanted wanted)
{
    struct stat entry {};
    if (fstatat(parent, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) == 0)
        if (Outcome kind = CheckKind(path, entry.st_mode, wanted); kind.Failed())
            return kind;
    return SystemError(error, path);
}

using SecureNewFolder = std::function<int(int)>;

// Opens the folder `name` below `parent`, making it when it is missing: made closed to
// everyone else, then given its mode by `secure` once it is known to be the folder made.
Outcome OpenOrMakeFolder(int parent, const std::string &name, const std::string &path, int flags,
                         const SecureNewFolder &secure, Descriptor &folder)
{
    folder.Reset(openat(parent, name.c_str(), flags));
    if (folder.IsValid())
        return {};
    if (errno != ENOENT)
        return OpenFailure(parent, name, path, errno, Wanted::Folder);
    if (mkdirat(parent, name.c_str(), 0700) != 0) {
        if (errno != EEXIST)
            return SystemError(errno, path);
        folder.Reset(openat(parent, name.c_str(), flags)); // another writer made it first
        return folder.IsValid() ? Outcome{} : OpenFailure(parent, name, path, errno, Wanted::Folder);
    }
    folder.Reset(openat(parent, name.c_str(), kOwnFolderFlags));
    if (!folder.IsValid())
        return OpenFailure(parent, name, path, errno, Wanted::Folder);
    if (const int error = secure(folder.Get()))
        return SystemError(error, path);
    return {};
}

// The root is where the administrator (or LANSCOUT_REGISTRY_ROOT) says, links on its way
// included; the folders missing on the way are made passable for the VMS's account.
Outcome OpenStoreRoot(const std::string &root, Descriptor &store)
{
    store.Reset(open(root.starts_with('/') ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!store.IsValid())
        return SystemError(errno, root);
    const auto passable = [](int folder) { return fchmod(folder, kRootFolderMode) == 0 ? 0 : errno; };
    std::string path = root.starts_with('/') ? "" : ".";
    for (const std::string &part : PathParts(root, '/')) {
        path += "/" + part;
        Descriptor next;
        if (Outcome opened = OpenOrMakeFolder(store.Get(), part, path, O_PATH | O_DIRECTORY | O_CLOEXEC, passable, next);
            opened.Failed())
            return opened;
        store.Reset(next.Release());
    }
    return {};
}

// Holds the key's lock while it lives. Anyone who can read the key can take the lock,
// so it is waited for only so long.
class KeyLock
{
public:
    explicit KeyLock(int key) : m_key(key) {}
    ~KeyLock()
    {
        if (m_held)
            flock(m_key, LOCK_UN);
    }
    KeyLock(const KeyLock &) = delete;
    KeyLock &operator=(const KeyLock &) = delete;

    Outcome Take(const std::string &folder, std::chrono::milliseconds wait)
    {
        const auto deadline = std::chrono::steady_clock::now() + wait;
        while (flock(m_key, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR)
                return SystemError(errno, folder);
            if (std::chrono::steady_clock::now() >= deadline)
                return {ETIMEDOUT, "the key " + folder + " stayed locked by another program for " + Seconds(wait)};
            std::this_thread::sleep_for(kLockPoll);
        }
        m_held = true;
        return {};
    }

private:
    static std::string Seconds(std::chrono::milliseconds wait)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%g s", std::chrono::duration<double>(wait).count());
        return text;
    }

    int m_key;
    bool m_held = false;
};

struct ExistingFile {
    bool exists = false;
    struct stat status {};
    std::string content;
};

// One values file is one name for one file of bounded size: a second name could make
// another file's content pass for the key's values.
Outcome CheckValuesFile(const std::string &path, const struct stat &status)
{
    if (Outcome kind = CheckKind(path, status.st_mode, Wanted::File); kind.Failed())
        return kind;
    if (status.st_nlink > 1)
        return {EMLINK, path + " has other names (hard links)"};
    if (std::uintmax_t(status.st_size) > kMaxValuesFileSize)
        return {EFBIG, path + " is larger than 1 MiB"};
    return {};
}

Outcome ReadBounded(int fd, const std::string &path, std::string &content)
{
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got == 0)
            return {};
        if (got < 0 && errno != EINTR)
            return SystemError(errno, path);
        if (got > 0)
            content.append(buffer, std::size_t(got));
        if (content.size() > kMaxValuesFileSize)
            return {EFBIG, path + " is larger than 1 MiB"};
    }
}

// A missing file is a key without values. One that is there but cannot be read fails the
// write: replacing it would throw away values nobody has seen. The file is looked at
// before it is opened, so that opening it can neither block nor touch a device.
Outcome ReadExisting(int key, const std::string &path, ExistingFile &file)
{
    struct stat entry {};
    if (fstatat(key, kValuesFile, &entry, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Outcome{} : SystemError(errno, path);
    if (Outcome refused = CheckValuesFile(path, entry); refused.Failed())
        return refused;
    const Descriptor fd(openat(key, kValuesFile, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.IsValid())
        return OpenFailure(key, kValuesFile, path, errno, Wanted::File);
    if (fstat(fd.Get(), &file.status) != 0)
        return SystemError(errno, path);
    if (Outcome refused = CheckValuesFile(path, file.status); refused.Failed()) // swapped since the look
        return refused;
    file.exists = true;
    return ReadBounded(fd.Get(), path, file.content);
}

int WriteAll(int fd, const std::string &content)
{
    for (std::size_t done = 0; done < content.size();) {
        const ssize_t put = write(fd, content.data() + done, content.size() - done);
        if (put > 0)
            done += static_cast<std::size_t>(put);
        else if (errno != EINTR)
            return errno;
    }
    return 0;
}

// Temporary values files left by writers that were killed or lost power before their
// rename. Every writer makes its own while it holds the key's lock, so once the lock is
// held, each one there is left over. Only names the store gives them are removed, and
// only regular files; a link among them is left alone, and unlinkat never follows one.
// What cannot be removed stays for the next writer: it does not fail this one's write.
void RemoveLeftTempFiles(int key)
{
    const int listing = openat(key, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *folder = listing >= 0 ? fdopendir(listing) : nullptr;
    if (folder == nullptr) {
        if (listing >= 0)
            close(listing);
        return;
    }
    while (const dirent *entry = readdir(folder)) {
        struct stat status {};
        if (IsTemporaryNameFor(entry->d_name, kValuesFile) &&
            fstatat(key, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(status.st_mode))
            unlinkat(key, entry->d_name, 0);
    }
    closedir(folder);
}

// The next values file is written here, next to values.reg, and removed again unless it
// has taken values.reg's place.
class TempFile
{
public:
    explicit TempFile(int key) : m_key(key)
    {
        for (int attempt = 0; attempt < 16 && !m_fd.IsValid(); ++attempt) {
            m_name = TemporaryNameFor(kValuesFile);
            m_fd.Reset(openat(key, m_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
            m_error = m_fd.IsValid() ? 0 : errno;
            if (m_error != EEXIST)
                break;
        }
    }
    ~TempFile()
    {
        if (m_fd.IsValid() && !m_renamed)
            unlinkat(m_key, m_name.c_str(), 0);
    }
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;

    int Error() const { return m_error; }
    int Get() const { return m_fd.Get(); }
    int RenameOver(const char *name)
    {
        m_renamed = renameat(m_key, m_name.c_str(), m_key, name) == 0;
        return m_renamed ? 0 : errno;
    }

private:
    int m_key;
    std::string m_name;
    Descriptor m_fd;
    int m_error = 0;
    bool m_renamed = false;
};

// Readers see the old values.reg or the new one, never a part of either, also when the
// writer dies or the power goes in the middle: the data is on disk before the rename,
// the rename before the write is reported.
Outcome ReplaceValuesFile(int key, const std::string &path, const std::string &content, mode_t mode)
{
    TempFile temp(key);
    if (temp.Error() != 0)
        return SystemError(temp.Error(), path);
    if (const int error = WriteAll(temp.Get(), content))
        return SystemError(error, path);
    if (fchmod(temp.Get(), mode) != 0 || fsync(temp.Get()) != 0)
        return SystemError(errno, path);
    if (const int error = temp.RenameOver(kValuesFile))
        return SystemError(error, path);
    return fsync(key) == 0 ? Outcome{} : SystemError(errno, path);
}

// "Everyone, full access" on a file-backed hive: a key made here is open to every account.
// Only the key gets it; the folders made on the way to it get no more than the store
// itself grants. The modes are set after creation, so the umask cannot narrow them.
class CKeySecurity
{
public:
    // Gives a newly made key folder its mode. 0, or the errno of the failure. In a store
    // shared through its group (set-group-ID, as the package makes it), a new key keeps the
    // bit it inherited, so everything below stays in the store's group.
    int ApplyToKey(int folder) const
    {
        struct stat status {};
        if (fstat(folder, &status) != 0)
            return errno;
        return fchmod(folder, KeyFolderMode() | (status.st_mode & S_ISGID)) == 0 ? 0 : errno;
    }
    mode_t KeyFolderMode() const { return 0777; }
    mode_t ValuesFileMode() const { return 0666; }
};

// The replacement is this account's own file; nothing of another account's file is
// taken over. It keeps the mode of a values file this account wrote before; otherwise a
// key open to everyone gets a file open to everyone, any other key one readable by all.
mode_t ReplacementMode(const ExistingFile &old, int key, const CKeySecurity &security)
{
    if (old.exists && old.status.st_uid == geteuid())
        return old.status.st_mode & 0777;
    struct stat folder {};
    const bool openToAll = fstat(key, &folder) == 0 && (folder.st_mode & S_IWOTH) != 0;
    return openToAll ? security.ValuesFileMode() : kValuesFileInClosedKeyMode;
}

// The key's lock keeps two writers (two windows handing over at once) from each
// rewriting the file without the other's values, and a hand-over from being mixed
// with another.
Outcome StoreValues(int key, const std::string &folder, const std::string &headerLine,
                    const std::vector<RegistryValue> &values, std::chrono::milliseconds lockWait)
{
    const std::string path = folder + "/" + kValuesFile;
    KeyLock lock(key);
    if (Outcome locked = lock.Take(folder, lockWait); locked.Failed())
        return locked;
    RemoveLeftTempFiles(key);
    ExistingFile old;
    if (Outcome read = ReadExisting(key, path, old); read.Failed())
        return read;
    std::vector<std::string> lines = ValueLines(old.content);
    for (const RegistryValue &value : values)
        PutValue(lines, NameField(value.Name()) + "=" + ValueData(value));
    const std::string content = FileContent(headerLine, lines);
    if (content.size() > kMaxValuesFileSize)
        return {EFBIG, path + " would grow larger than 1 MiB"};
    return ReplaceValuesFile(key, path, content, ReplacementMode(old, key, CKeySecurity()));
}

} // namespace

struct CVantoRegistry::Key {
    Descriptor folder;
    RegistryAccess access;
    std::string path;       // the folder, for messages
    std::string headerLine; // [HKEY_LOCAL_MACHINE\SOFTWARE\...]
};

std::string RegistryRoot()
{
    const char *root = std::getenv(kRootVariable);
    return root != nullptr && *root != '\0' ? root : kDefaultRoot;
}

std::string RegistryKeyFolder(unsigned index, RegistryHive hive)
{
    const char *hiveName = RegistryHiveName(hive);
    if (hiveName == nullptr)
        return {};
    return LocateKey(RegistryRoot(), hiveName, RegistryKeyPath(index)).path;
}

CVantoRegistry::CVantoRegistry(const std::string &root, unsigned keyIndex, RegistryAccess access, RegistryHive hive)
{
    const char *hiveName = RegistryHiveName(hive);
    if (hiveName == nullptr) {
        m_problem = "the hive is unknown";
        return;
    }
    const KeyLocation key = LocateKey(root, hiveName, RegistryKeyPath(keyIndex));
    Descriptor folder;
    if (Outcome opened = OpenStoreRoot(root, folder); opened.Failed()) {
        m_problem = std::move(opened.why);
        return;
    }
    // The registry gives the keys above a new key no new rights: they get the store's own.
    struct stat store {};
    if (fstat(folder.Get(), &store) != 0) {
        m_problem = SystemError(errno, root).why;
        return;
    }
    const auto likeTheStore = [&store](int made) {
        return fchmod(made, store.st_mode & (S_ISGID | S_ISVTX | 0777)) == 0 ? 0 : errno;
    };
    const auto secureKey = [](int made) { return CKeySecurity().ApplyToKey(made); };
    std::string path = root;
    for (std::size_t i = 0; i < key.folders.size(); ++i) {
        const bool isKey = i + 1 == key.folders.size();
        path += "/" + key.folders[i];
        Descriptor next;
        const Outcome opened = OpenOrMakeFolder(folder.Get(), key.folders[i], path,
                                                isKey ? kOwnFolderFlags : kPassFolderFlags,
                                                isKey ? SecureNewFolder(secureKey) : SecureNewFolder(likeTheStore), next);
        if (opened.Failed()) {
            m_problem = opened.why;
            return;
        }
        folder.Reset(next.Release());
    }
    m_key.reset(new Key{Descriptor(folder.Release()), access, key.path, key.headerLine});
}

CVantoRegistry::~CVantoRegistry()
{
    CloseKey();
}

long CVantoRegistry::WriteValues(const std::vector<RegistryValue> &values)
{
    if (!IsOpen())
        return REGISTRY_INVALID_HANDLE; // the reason it is not open stays the problem
    const auto granted = static_cast<std::uint32_t>(m_key->access);
    if ((granted & static_cast<std::uint32_t>(RegistryAccess::SetValue)) == 0)
        return Fail(EACCES, "the key " + m_key->path + " was opened without the right to set values");
    for (const RegistryValue &value : values)
        if (!IsUsableName(value.Name()))
            return Fail(EINVAL, "a value name holds a line break or a NUL");
    Outcome stored = StoreValues(m_key->folder.Get(), m_key->path, m_key->headerLine, values, m_lockWait);
    return Fail(stored.error, std::move(stored.why));
}

long CVantoRegistry::WriteValuesUnderFlag(const std::string &flag, const std::vector<RegistryValue> &values)
{
    std::vector<RegistryValue> flagged = {RegistryValue::Dword(flag, 1)};
    flagged.insert(flagged.end(), values.begin(), values.end());
    return WriteValues(flagged);
}

long CVantoRegistry::CloseKey()
{
    if (!IsOpen())
        return REGISTRY_INVALID_HANDLE;
    m_key.reset();
    return REGISTRY_SUCCESS;
}
