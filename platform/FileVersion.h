#pragma once
// The product version stamped into an executable, read back and formatted for the
// window title as "major.minor.build" ("%d.%02d.%04d", at most 10 characters).

#include <string>

// Name of the section of a Linux executable that holds the version text.
inline constexpr const char *kVersionSection = ".lanscout_version";

class CFileVersion final {
public:
    CFileVersion();
    // Reads the version of the file; null reads the running executable. A file
    // without a version leaves every number at -1.
    void Load(const char *path = nullptr);
    // Splits a dotted version text; true when at least two numbers were found.
    bool Parse(const std::string &text);
    const char *GetText();

    int Major() const { return m_nMajor; }
    int Minor() const { return m_nMinor; }
    int Build() const { return m_nBuild; }

private:
    char m_szText[12];
    int m_nMajor = -1;
    int m_nMinor = -1;
    int m_nBuild = -1;
};

// The stamped version text of an executable, or empty when it has none: on Linux the
// text of its section (VersionStamp.cpp), on Windows the ProductVersion of its version
// resource (ProgramResources.rc.in). One file per platform; the parsing above is shared.
std::string ReadVersionStamp(const std::string &path);
// The running program's own stamp.
std::string ReadOwnVersionStamp();
