// Writing a file whole on Linux: everything after the folder is opened goes through the
// folder's descriptor (openat, fstatat, renameat), so a folder swapped for a link on
// the way cannot send the file elsewhere; the temporary file is made new (O_EXCL,
// O_NOFOLLOW) and renamed over the target, which replaces a link rather than following it.
#include "platform/OutputFileSystem.h"

#include "platform/FileAccessLinux.h"
#include "platform/TemporaryName.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The folder part of a path, "." when it names none.
std::string FolderOf(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The name in its folder; a path that ends in a slash names the folder itself.
std::string NameOf(const std::string &path)
{
    const std::string name = path.substr(path.rfind('/') + 1);
    return name.empty() ? "." : name;
}

constexpr int kAttempts = 16; // at a name taken by chance, another is tried
constexpr int kNewFileFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;

} // namespace

CFileReplacement::CFileReplacement(const std::string &path) : m_path(path) {}

CFileReplacement::~CFileReplacement()
{
    if (m_temp != kNoHandle) {
        ::close(int(m_temp));
        if (!m_replaced)
            ::unlinkat(int(m_folder), m_tempName.c_str(), 0);
    }
    if (m_folder != kNoHandle)
        ::close(int(m_folder));
}

bool CFileReplacement::OpenFolder()
{
    m_folder = ::open(FolderOf(m_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return m_folder != kNoHandle;
}

bool CFileReplacement::CreateTemporary()
{
    const std::string name = NameOf(m_path);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        m_tempName = TemporaryNameFor(name);
        m_temp = ::openat(int(m_folder), m_tempName.c_str(), kNewFileFlags, 0666);
        if (m_temp != kNoHandle || errno != EEXIST)
            break;
    }
    return m_temp != kNoHandle;
}

bool CFileReplacement::LookAtTarget(std::optional<FileKind> &kind)
{
    struct stat there {};
    if (::fstatat(int(m_folder), NameOf(m_path).c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0) {
        kind.reset();
        return errno == ENOENT;
    }
    kind = KindOfMode(there.st_mode);
    // Another account's mode is not taken over: it could open the new file to others.
    if (*kind == FileKind::File && there.st_uid == ::geteuid())
        return ::fchmod(int(m_temp), there.st_mode & 0777) == 0;
    return true;
}

bool CFileReplacement::Write(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t put = ::write(int(m_temp), bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR)
            continue;
        if (put == 0)
            errno = EIO; // nothing taken, and no reason given
        if (put <= 0)
            return false;
        bytes.remove_prefix(std::size_t(put));
    }
    return true;
}

bool CFileReplacement::Sync()
{
    return ::fsync(int(m_temp)) == 0;
}

bool CFileReplacement::Replace()
{
    m_replaced = ::renameat(int(m_folder), m_tempName.c_str(), int(m_folder), NameOf(m_path).c_str()) == 0;
    return m_replaced && ::fsync(int(m_folder)) == 0;
}
