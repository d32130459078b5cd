#include "platform/FileVersion.h"

#include <elf.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

// Leading blanks, an optional sign, then digits up to the first other character.
int PieceValue(const char *piece)
{
    const long value = std::strtol(piece, nullptr, 10);
    return int(std::clamp<long>(value, INT_MIN, INT_MAX)); // a huge piece must not overflow
}

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

CFileVersion::CFileVersion()
{
    std::memset(m_szText, 0, sizeof m_szText);
}

void CFileVersion::Load(const char *path)
{
    m_nMajor = m_nMinor = m_nBuild = -1;
    const std::string stamp = ReadVersionStamp(path ? path : "/proc/self/exe");
    if (!stamp.empty())
        Parse(stamp);
}

bool CFileVersion::Parse(const std::string &text)
{
    m_nMajor = m_nMinor = m_nBuild = -1;
    char work[16] = {};
    std::strncpy(work, text.c_str(), sizeof work - 1); // longer texts are cut to 15 characters
    char *save = nullptr;
    const char *piece = strtok_r(work, ".", &save);
    if (!piece)
        return false;
    m_nMajor = PieceValue(piece);
    piece = strtok_r(nullptr, ".", &save);
    if (!piece)
        return false;
    m_nMinor = PieceValue(piece);
    piece = strtok_r(nullptr, ".", &save);
    m_nBuild = piece ? PieceValue(piece) : 0;
    return true;
}

const char *CFileVersion::GetText()
{
    std::memset(m_szText, 0, 11);
    char full[48];
    std::snprintf(full, sizeof full, "%d.%02d.%04d", m_nMajor, m_nMinor, m_nBuild);
    std::memcpy(m_szText, full, std::min<std::size_t>(std::strlen(full), 10));
    return m_szText;
}
