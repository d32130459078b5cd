// Files the user names, on Linux: looked at by name first, so that a device is not even
// opened (opening one may block or have effects of its own), then checked again once
// open. A link is followed: /dev/stdin and a shell's <(...) name pipes through links.
#include "platform/InputFileSystem.h"

#include "platform/InputFile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FileKind KindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return FileKind::File;
    if (S_ISFIFO(mode))
        return FileKind::Pipe;
    if (S_ISDIR(mode))
        return FileKind::Folder;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return FileKind::Device;
    if (S_ISSOCK(mode))
        return FileKind::Socket;
    return FileKind::Other;
}

bool EndsWhenRead(FileKind kind)
{
    return kind == FileKind::File || kind == FileKind::Pipe;
}

} // namespace

std::string LastSystemError()
{
    return std::strerror(errno);
}

const char *const kKindsRead = "a file or a pipe";

COpenInput::COpenInput(const std::string &path)
{
    struct stat named {};
    if (::stat(path.c_str(), &named) != 0) {
        m_failure = LastSystemError();
        return;
    }
    m_kind = KindOf(named.st_mode);
    if (!EndsWhenRead(m_kind))
        return;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
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
    m_kind = KindOf(opened.st_mode);
    if (!EndsWhenRead(m_kind)) { // replaced since it was looked at
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
