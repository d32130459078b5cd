#include "vms/VantoRegistry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string_view>
#include <vector>

namespace {

constexpr const char *kDefaultRoot = "/var/lib/lanscout/registry";
constexpr const char *kRootVariable = "LANSCOUT_REGISTRY_ROOT";
constexpr const char *kValuesFile = "values.reg";
constexpr const char *kTempPattern = ".values.reg.XXXXXX";
constexpr const char *kFileHeader = "Windows Registry Editor Version 5.00";
constexpr const char *kVmsKey = "SOFTWARE\\Brenmark\\Halvex DVR\\";
constexpr unsigned kLastChannelKey = 264;
// The folders on the way to the hive only need to be passable for the VMS's account.
constexpr mode_t kRootFolderMode = 0755;
constexpr mode_t kValuesFileInExistingKeyMode = 0644;
// A text with one of these cannot stand between quotes on one line.
constexpr std::string_view kLineBreaking{"\r\n\0", 3};

// ---- Where a key lives

const char *HiveName(RegistryHive hive)
{
    switch (hive) {
    case RegistryHive::LocalMachine:
        return "HKEY_LOCAL_MACHINE";
    }
    return nullptr;
}

std::vector<std::string> KeyPathParts(const std::string &keyPath)
{
    std::vector<std::string> parts;
    std::istringstream in(keyPath);
    for (std::string part; std::getline(in, part, '\\');)
        if (!part.empty())
            parts.push_back(part);
    return parts;
}

struct KeyLocation {
    std::vector<std::string> folders; // the hive's folder first, the key's own last
    std::string headerLine;           // [HKEY_LOCAL_MACHINE\SOFTWARE\...]
};

KeyLocation LocateKey(const std::string &root, const char *hiveName, const std::string &keyPath)
{
    KeyLocation key{{root + "/" + hiveName}, std::string("[") + hiveName};
    for (const std::string &part : KeyPathParts(keyPath)) {
        key.folders.push_back(key.folders.back() + "/" + part);
        key.headerLine += "\\" + part;
    }
    key.headerLine += "]";
    return key;
}

// Every folder from the outermost down to path itself: /a, /a/b, /a/b/c.
std::vector<std::string> FolderChain(const std::string &path)
{
    std::vector<std::string> chain;
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string prefix = path.substr(0, slash);
        if (!prefix.empty() && prefix.back() != '/')
            chain.push_back(std::move(prefix));
        if (slash == std::string::npos)
            return chain;
    }
}

// A folder that already exists is fine as it is; one made here starts closed and is
// opened up by the caller once it holds.
int MakeFolder(const std::string &path, bool &made)
{
    made = mkdir(path.c_str(), 0700) == 0;
    if (made)
        return 0;
    const int error = errno;
    struct stat status {};
    if (stat(path.c_str(), &status) == 0)
        return S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
    return error;
}

using SecureNewFolder = std::function<int(const std::string &)>;

int MakeFolders(const std::vector<std::string> &chain, const SecureNewFolder &secure, bool &madeLast)
{
    madeLast = false;
    for (const std::string &folder : chain) {
        if (const int error = MakeFolder(folder, madeLast))
            return error;
        if (const int error = madeLast ? secure(folder) : 0)
            return error;
    }
    return 0;
}

int SetRootFolderMode(const std::string &folder)
{
    return chmod(folder.c_str(), kRootFolderMode) == 0 ? 0 : errno;
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

std::string HexList(const std::string &bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (!out.empty())
            out += ',';
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0x0F];
    }
    return out;
}

std::string DwordData(std::uint32_t value)
{
    char data[16];
    std::snprintf(data, sizeof data, "dword:%08x", static_cast<unsigned>(value));
    return data;
}

std::string TextData(const std::string &text)
{
    if (text.find_first_of(kLineBreaking) != std::string::npos)
        return "hex(1):" + HexList(text + '\0');
    return '"' + Escaped(text) + '"';
}

std::string BinaryData(const std::string &bytes)
{
    return "hex:" + HexList(bytes);
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

class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    bool IsValid() const { return m_fd >= 0; }
    int Get() const { return m_fd; }

private:
    int m_fd;
};

// The next values file is written here, next to values.reg, and removed again unless it
// has taken values.reg's place.
class TempFile
{
public:
    explicit TempFile(const std::string &folder)
        : m_path(folder + "/" + kTempPattern), m_fd(mkostemp(m_path.data(), O_CLOEXEC))
    {
    }
    ~TempFile()
    {
        if (m_fd.IsValid() && !m_renamed)
            unlink(m_path.c_str());
    }
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;

    bool IsValid() const { return m_fd.IsValid(); }
    int Get() const { return m_fd.Get(); }
    int RenameTo(const std::string &path)
    {
        m_renamed = rename(m_path.c_str(), path.c_str()) == 0;
        return m_renamed ? 0 : errno;
    }

private:
    std::string m_path;
    Descriptor m_fd;
    bool m_renamed = false;
};

struct ExistingFile {
    bool exists = false;
    struct stat status {};
    std::string content;
};

int LockExclusive(int fd)
{
    while (flock(fd, LOCK_EX) != 0)
        if (errno != EINTR)
            return errno;
    return 0;
}

int ReadAll(int fd, std::string &content)
{
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got == 0)
            return 0;
        if (got > 0)
            content.append(buffer, static_cast<std::size_t>(got));
        else if (errno != EINTR)
            return errno;
    }
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

// A missing file is a key without values. One that is there but cannot be read fails the
// write: replacing it would throw away values nobody has seen.
int ReadExisting(const std::string &path, ExistingFile &file)
{
    const Descriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.IsValid())
        return errno == ENOENT ? 0 : errno;
    if (fstat(fd.Get(), &file.status) != 0)
        return errno;
    file.exists = true;
    return ReadAll(fd.Get(), file.content);
}

// A replacement keeps the old file's owner (where this account may give a file away) and
// mode, so rewriting a value never changes who can read the key.
int TakeOverIdentity(int fd, const ExistingFile &old, mode_t newFileMode)
{
    if (old.exists && fchown(fd, old.status.st_uid, old.status.st_gid) != 0) {
        // Only root may give a file away; anyone else's rewrite becomes their own file.
    }
    const mode_t mode = old.exists ? old.status.st_mode & 07777 : newFileMode;
    return fchmod(fd, mode) == 0 ? 0 : errno;
}

// Readers see the old values.reg or the new one, never a part of either, also when the
// writer dies or the power goes in the middle.
int ReplaceValuesFile(const std::string &folder, int folderFd, const std::string &content,
                      const ExistingFile &old, mode_t newFileMode)
{
    TempFile temp(folder);
    if (!temp.IsValid())
        return errno;
    if (const int error = WriteAll(temp.Get(), content))
        return error;
    if (const int error = TakeOverIdentity(temp.Get(), old, newFileMode))
        return error;
    if (fsync(temp.Get()) != 0)
        return errno;
    if (const int error = temp.RenameTo(folder + "/" + kValuesFile))
        return error;
    return fsync(folderFd) == 0 ? 0 : errno;
}

} // namespace

std::string RegistryKeyPath(unsigned index)
{
    const std::string vmsKey = kVmsKey;
    if (index == 0)
        return vmsKey;
    if (index <= kLastChannelKey)
        return vmsKey + "Channel" + std::to_string(index) + "\\";
    if (index == REG_KEY_TEMP_SETTINGS)
        return vmsKey + "PELMTempSettings\\";
    return {};
}

std::string RegistryRoot()
{
    const char *root = std::getenv(kRootVariable);
    return root != nullptr && *root != '\0' ? root : kDefaultRoot;
}

std::string RegistryKeyFolder(unsigned index, RegistryHive hive)
{
    const char *hiveName = HiveName(hive);
    if (hiveName == nullptr)
        return {};
    return LocateKey(RegistryRoot(), hiveName, RegistryKeyPath(index)).folders.back();
}

// In a store shared through its group (set-group-ID, as the package makes it), a new key
// keeps the bit it inherited, so everything below stays in the store's group.
int CKeySecurity::ApplyToKey(const std::string &folder) const
{
    struct stat status {};
    if (stat(folder.c_str(), &status) != 0)
        return errno;
    return chmod(folder.c_str(), KeyFolderMode() | (status.st_mode & S_ISGID)) == 0 ? 0 : errno;
}

CVantoRegistry::CVantoRegistry(unsigned keyIndex, std::uint32_t access, RegistryHive hive) : m_access(access)
{
    const char *hiveName = HiveName(hive);
    if (hiveName == nullptr || !m_security.IsReady())
        return;
    const std::string root = RegistryRoot();
    bool madeRoot = false;
    if (MakeFolders(FolderChain(root), SetRootFolderMode, madeRoot) != 0)
        return;
    const KeyLocation key = LocateKey(root, hiveName, RegistryKeyPath(keyIndex));
    const auto secureKey = [this](const std::string &folder) { return m_security.ApplyToKey(folder); };
    if (MakeFolders(key.folders, secureKey, m_madeKey) != 0)
        return;
    m_folder = key.folders.back();
    m_keyLine = key.headerLine;
}

CVantoRegistry::~CVantoRegistry()
{
    CloseKey();
}

bool CVantoRegistry::IsOpen() const
{
    return !m_folder.empty();
}

long CVantoRegistry::WriteDword(const std::string &name, std::uint32_t value)
{
    return WriteValue(name, DwordData(value));
}

long CVantoRegistry::WriteString(const std::string &name, const std::string &text, bool raw)
{
    return WriteValue(name, raw ? BinaryData(text) : TextData(text));
}

long CVantoRegistry::CloseKey()
{
    if (!IsOpen())
        return ERROR_INVALID_HANDLE;
    m_folder.clear();
    return ERROR_SUCCESS;
}

long CVantoRegistry::WriteValue(const std::string &name, const std::string &data)
{
    if (!IsOpen())
        return ERROR_INVALID_HANDLE;
    if ((m_access & KEY_SET_VALUE) == 0)
        return EACCES;
    if (!IsUsableName(name))
        return EINVAL;
    return StoreValueLine(NameField(name) + "=" + data);
}

// The folder lock keeps two writers of one key (two windows handing over at once) from
// each rewriting the file without the other's value.
long CVantoRegistry::StoreValueLine(const std::string &line)
{
    const Descriptor folder(open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.IsValid())
        return errno;
    if (const int error = LockExclusive(folder.Get()))
        return error;
    ExistingFile old;
    if (const int error = ReadExisting(m_folder + "/" + kValuesFile, old))
        return error;
    std::vector<std::string> values = ValueLines(old.content);
    PutValue(values, line);
    return ReplaceValuesFile(m_folder, folder.Get(), FileContent(m_keyLine, values), old, NewValuesFileMode());
}

mode_t CVantoRegistry::NewValuesFileMode() const
{
    return m_madeKey ? m_security.ValuesFileMode() : kValuesFileInExistingKeyMode;
}
