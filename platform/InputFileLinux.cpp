// Files the user names, on Linux: looked at by name first, so that a device is not even
// opened (opening one may block or have effects of its own), then checked again once
// open. For a command line a link is followed: /dev/stdin and a shell's <(...) name
// pipes through links. The window reads files only, and a link is no file to it: the
// name is looked at as itself and opened without following a link and without waiting
// for a writer, so a FIFO put there since the look cannot hold it either.
#include "platform/InputFileSystem.h"

#include "platform/FileAccessLinux.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsRead(FileKind kind, InputKinds kinds)
{
    return kind == FileKind::File || (kind == FileKind::Pipe && kinds == InputKinds::FilesAndPipes);
}

} // namespace

std::string LastSystemError()
{
    return std::strerror(errno);
}

const char *KindsRead(InputKinds kinds)
{
    return kinds == InputKinds::FilesAndPipes ? "a file or a pipe" : "a file";
}

COpenInput::COpenInput(const std::string &path, InputKinds kinds)
{
    const bool filesOnly = kinds == InputKinds::FilesOnly;
    struct stat named {};
    if ((filesOnly ? ::lstat(path.c_str(), &named) : ::stat(path.c_str(), &named)) != 0) {
        m_failure = LastSystemError();
        return;
    }
    m_kind = KindOfMode(named.st_mode);
    if (!IsRead(m_kind, kinds))
        return;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | (filesOnly ? O_NOFOLLOW | O_NONBLOCK : 0));
    if (fd < 0 && filesOnly && errno == ELOOP) { // made a link since it was looked at
        m_kind = FileKind::Link;
        return;
    }
    if (fd < 0) {
        m_failure = LastSystemError();
        return;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0) {
        m_failure = LastSystemError();
        ::close(fd);
        return;
    }
    m_kind = KindOfMode(opened.st_mode);
    if (!IsRead(m_kind, kinds)) { // replaced since it was looked at
        ::close(fd);
        return;
    }
    if (m_kind == FileKind::File)
        m_size = std::uint64_t(opened.st_size);
    m_handle = fd;
}

COpenInput::~COpenInput()
{
    if (IsOpen())
        ::close(int(m_handle));
}

std::optional<std::size_t> COpenInput::Read(char *buffer, std::size_t size)
{
    for (;;) {
        const ssize_t n = ::read(int(m_handle), buffer, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        return std::size_t(n);
    }
}
