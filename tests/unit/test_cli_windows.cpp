// lanscout-cli on Windows, where files are named in UTF-16 and the program's texts are UTF-8.
#include "platform/InputFile.h"
#include "cli/Secrets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

// A plan or password file named in letters beyond ASCII, even beyond the code page and
// the Basic Multilingual Plane, is found under its name.
TEST(InputFile, NamesBeyondAsciiFindTheirFiles)
{
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / u8"lanscout-plan-\u00e9\u20ac\U0001F4F7.csv";
    std::ofstream(path, std::ios::binary) << "mac,ip\n";
    const std::u8string utf8 = path.u8string();
    const std::string name(utf8.begin(), utf8.end());
    EXPECT_EQ(ReadBoundedFile(name, 100, InputKinds::FilesOnly).bytes, "mac,ip\n");
    EXPECT_EQ(ReadSecretFile(name).value, "mac,ip");
    std::filesystem::remove(path);
}
