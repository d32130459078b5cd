// Files written whole (platform/OutputFile.h), the same on Linux and on Windows: the new
// content replaces the old at once, and a write that cannot happen says why and leaves
// the folder as it was, with no temporary file in it.
#include "tests/unit/WholeFileTest.h"

#include "platform/OutputFile.h"

namespace fs = std::filesystem;

TEST_F(WholeFile, ReplacesTheContentWhole)
{
    const std::string path = Path("list.txt");
    for (const std::string content : {"a longer first content\r\n", "short", ""}) {
        ASSERT_EQ(WriteWholeFile(path, content), "");
        EXPECT_EQ(Read(path), content);
    }
    EXPECT_EQ(Names(), std::set<std::string>{"list.txt"});
}

TEST_F(WholeFile, RefusalsSayWhyAndLeaveNothingBehind)
{
    fs::create_directory(m_folder / "taken");
    const struct {
        std::string path;
        std::string reason; // how it starts
    } cases[] = {
        {Path("gone/list.txt"), "cannot open its folder: "},
        {Path("taken"), "it is a folder"},
        {Path("taken") + "/", "it is a folder"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_TRUE(WriteWholeFile(c.path, "content").starts_with(c.reason));
        EXPECT_EQ(Names(), std::set<std::string>{"taken"});
        EXPECT_TRUE(Names("taken").empty());
    }
}
