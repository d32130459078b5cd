#include "platform/FileVersion.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace {

struct Example {
    const char *version;
    int major, minor, build;
    const char *text;
};

} // namespace

TEST(FileVersion, ParsesAndFormatsTheTitleVersion)
{
    const Example examples[] = {
        {"11.0.0104", 11, 0, 104, "11.00.0104"},
        {"1.2", 1, 2, 0, "1.02.0000"},
        {"7", 7, -1, -1, "7.-1.-001"},
        {"100.10.100", 100, 10, 100, "100.10.010"}, // cut after ten characters
        {"11, 0, 0, 104", 11, -1, -1, "11.-1.-001"}, // commas are no separators
        {"..3...4.5.6", 3, 4, 5, "3.04.0005"},      // runs of dots are one separator
        {"", -1, -1, -1, "-1.-1.-001"},
    };
    for (const Example &e : examples) {
        CFileVersion version;
        EXPECT_EQ(version.Parse(e.version), e.minor != -1) << e.version;
        EXPECT_EQ(version.Major(), e.major) << e.version;
        EXPECT_EQ(version.Minor(), e.minor) << e.version;
        EXPECT_EQ(version.Build(), e.build) << e.version;
        EXPECT_STREQ(version.GetText(), e.text) << e.version;
    }
}

TEST(FileVersion, LongTextIsReadFromItsFirstFifteenCharacters)
{
    CFileVersion version;
    EXPECT_TRUE(version.Parse("12.34.5678999999"));
    EXPECT_EQ(version.Build(), 567899999);
    EXPECT_TRUE(version.Parse("1.2.99999999999"));
    EXPECT_EQ(version.Build(), 2147483647);
}

TEST(FileVersion, FileWithoutVersionGivesMinusOnes)
{
    const char *path = "fileversion-test.bin";
    std::ofstream(path) << "not an executable";
    CFileVersion version;
    version.Load(path);
    EXPECT_STREQ(version.GetText(), "-1.-1.-001");
    version.Load("/nonexistent/file");
    EXPECT_STREQ(version.GetText(), "-1.-1.-001");
    std::remove(path);
}

// The project's version is the only place the version is written: the stamp follows it.
TEST(FileVersion, ReadsTheStampOfABuiltProgram)
{
    CFileVersion version;
    version.Load(LANSCOUT_EXECUTABLE);
    EXPECT_EQ(version.Major(), LANSCOUT_VERSION_MAJOR);
    EXPECT_EQ(version.Minor(), LANSCOUT_VERSION_MINOR);
    EXPECT_EQ(version.Build(), LANSCOUT_VERSION_BUILD);
    EXPECT_STREQ(version.GetText(), "11.00.0104");
}
