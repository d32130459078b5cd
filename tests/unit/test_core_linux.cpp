// The Qt-free core on Linux: what only Linux can name. Files written whole
// (platform/OutputFile.h) by an account that cannot write everywhere: root could, so
// as root the writes run in a child as nobody.
#include "tests/unit/WholeFileTest.h"

#include "platform/OutputFile.h"

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

// WriteWholeFile's reason from a child without root's rights, its file size limited
// to sizeLimit bytes as a full disk would.
std::string WriteAsUser(const std::string &path, const std::string &bytes, rlim_t sizeLimit)
{
    int reason[2];
    if (::pipe(reason) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(reason[0]);
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(1);
        const rlimit limit{sizeLimit, sizeLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_IGN);
        const std::string text = WriteWholeFile(path, bytes);
        ::_exit(::write(reason[1], text.data(), text.size()) == ssize_t(text.size()) ? 0 : 1);
    }
    ::close(reason[1]);
    std::string text;
    char chunk[256];
    for (ssize_t got; (got = ::read(reason[0], chunk, sizeof chunk)) > 0;)
        text.append(chunk, std::size_t(got));
    ::close(reason[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? text : "the child failed";
}

} // namespace

// A write refused or failed says why; the file it was to replace, and what a link there
// leads to, stay as they were, and no temporary file is left.
TEST_F(WholeFile, FailuresLeaveEverythingAsItWas)
{
    ASSERT_EQ(::chmod(m_folder.c_str(), 0777), 0); // nobody may write here, not in "locked"
    const std::string victim = Path("victim.txt");
    std::ofstream(victim) << "the victim's own\n";
    ASSERT_EQ(::mkdir(Path("locked").c_str(), 0555), 0);
    fs::create_symlink(victim, Path("planted.csv"));
    std::ofstream(Path("full.csv")) << "before\n";
    const struct {
        std::string name;
        rlim_t sizeLimit;
        std::string reason;
    } cases[] = {
        {"locked/report.csv", RLIM_INFINITY, "cannot make a file in its folder: Permission denied"},
        {"planted.csv", RLIM_INFINITY, "it is a link"},
        {"full.csv", 4096, "cannot write it: File too large"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(WriteAsUser(Path(c.name), std::string(5000, 'x'), c.sizeLimit), c.reason) << c.name;
    EXPECT_EQ(Read(victim), "the victim's own\n");
    EXPECT_TRUE(fs::is_symlink(Path("planted.csv")));
    EXPECT_EQ(Read(Path("full.csv")), "before\n");
    EXPECT_EQ(Names(), (std::set<std::string>{"full.csv", "locked", "planted.csv", "victim.txt"}));
    EXPECT_TRUE(Names("locked").empty());
}

// A file rewritten keeps the permissions this account gave it; another account's are not
// taken over, which could open the new file to others.
TEST_F(WholeFile, OnlyThisAccountsPermissionsAreKept)
{
    const std::string path = Path("list.txt");
    std::ofstream(path) << "before\n";
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(WriteWholeFile(path, "after\n"), "");
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    if (::geteuid() == 0) { // only root can give a file away
        ASSERT_EQ(::chown(path.c_str(), 4242, 4242), 0);
        ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
        const mode_t mask = ::umask(022);
        ASSERT_EQ(WriteWholeFile(path, "again\n"), "");
        ::umask(mask);
        ASSERT_EQ(::stat(path.c_str(), &status), 0);
        EXPECT_EQ(status.st_uid, 0u);
        EXPECT_EQ(status.st_mode & 07777, 0644u);
    }
}
