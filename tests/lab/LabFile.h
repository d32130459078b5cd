#pragma once
// A file for camsim (a camera file, a scripted page), removed when the test ends,
// whichever way it ends.

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace lab {

class LabFile final {
public:
    explicit LabFile(const std::string &content)
    {
        char name[] = "/tmp/lanscout-lab-file-XXXXXX";
        const int fd = ::mkstemp(name);
        if (fd < 0)
            throw std::runtime_error("cannot make a file for camsim");
        ::close(fd);
        m_path = name;
        std::ofstream(m_path, std::ios::binary) << content;
    }
    ~LabFile() { ::unlink(m_path.c_str()); }
    LabFile(const LabFile &) = delete;
    LabFile &operator=(const LabFile &) = delete;

    const std::string &Path() const { return m_path; }

private:
    std::string m_path;
};

// A file's bytes; empty when it cannot be read.
inline std::string ReadFile(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace lab
