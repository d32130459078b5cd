#include "platform/FileVersion.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Leading blanks, an optional sign, then digits up to the first other character.
int PieceValue(const char *piece)
{
    const long value = std::strtol(piece, nullptr, 10);
    return int(std::clamp<long>(value, INT_MIN, INT_MAX)); // a huge piece must not overflow
}

} // namespace

CFileVersion::CFileVersion()
{
    std::memset(m_szText, 0, sizeof m_szText);
}

void CFileVersion::Load(const char *path)
{
    m_nMajor = m_nMinor = m_nBuild = -1;
    const std::string stamp = path ? ReadVersionStamp(path) : ReadOwnVersionStamp();
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
