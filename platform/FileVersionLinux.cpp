// The version stamp on Linux: the text of the executable's own ELF section
// (VersionStamp.cpp puts it there), read from the file without loading it.
#include "platform/FileVersion.h"

#include <elf.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

template <typename T>
bool ReadAt(std::ifstream &file, std::uint64_t offset, T &value)
{
    file.seekg(std::streamoff(offset));
    return bool(file.read(reinterpret_cast<char *>(&value), sizeof value));
}

std::string SectionText(std::ifstream &file, const Elf64_Shdr &section)
{
    constexpr std::uint64_t kLongestStamp = 255;
    std::vector<char> bytes(std::size_t(std::min(section.sh_size, kLongestStamp)));
    file.seekg(std::streamoff(section.sh_offset));
    if (!file.read(bytes.data(), std::streamsize(bytes.size())))
        return {};
    // Up to the first NUL; an empty section has no buffer at all to scan.
    return std::string(bytes.begin(), std::find(bytes.begin(), bytes.end(), '\0'));
}

} // namespace

std::string ReadVersionStamp(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    Elf64_Ehdr header;
    if (!file || !ReadAt(file, 0, header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_shentsize != sizeof(Elf64_Shdr) ||
        header.e_shstrndx >= header.e_shnum)
        return {};
    Elf64_Shdr names;
    if (!ReadAt(file, header.e_shoff + std::uint64_t(header.e_shstrndx) * sizeof(Elf64_Shdr), names))
        return {};
    const std::size_t wanted = std::strlen(kVersionSection) + 1;
    for (unsigned i = 0; i < header.e_shnum; ++i) {
        Elf64_Shdr section;
        if (!ReadAt(file, header.e_shoff + std::uint64_t(i) * sizeof(Elf64_Shdr), section))
            return {};
        std::vector<char> name(wanted, '\0');
        file.seekg(std::streamoff(names.sh_offset + section.sh_name));
        if (file.read(name.data(), std::streamsize(wanted)) && std::memcmp(name.data(), kVersionSection, wanted) == 0)
            return SectionText(file, section);
        file.clear();
    }
    return {};
}

std::string ReadOwnVersionStamp()
{
    return ReadVersionStamp("/proc/self/exe");
}
