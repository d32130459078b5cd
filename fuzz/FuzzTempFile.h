#pragma once
// For readers that take a path: one file in the temporary folder for the whole run,
// rewritten with each input and removed at exit (left behind after a crash, beside the
// input that caused it).

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class CFuzzTempFile final {
public:
    CFuzzTempFile()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "lanscout-fuzz-XXXXXX").string();
        const int fd = mkstemp(pattern.data());
        if (fd < 0) {
            std::perror("lanscout fuzz: temporary file");
            std::abort();
        }
        close(fd);
        m_path = pattern;
    }
    ~CFuzzTempFile() { std::remove(m_path.c_str()); }
    CFuzzTempFile(const CFuzzTempFile &) = delete;
    CFuzzTempFile &operator=(const CFuzzTempFile &) = delete;

    // Replaces the file's content with the bytes; returns the file's path.
    const std::string &Write(const std::uint8_t *data, std::size_t size)
    {
        std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(data), std::streamsize(size));
        if (!out.flush()) {
            std::perror("lanscout fuzz: writing the temporary file");
            std::abort();
        }
        return m_path;
    }

private:
    std::string m_path;
};
