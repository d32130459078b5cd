// lanscout-cli on Linux: a plan from a pipe, the password from the environment, and the
// prompt on the controlling terminal.
#include "platform/InputFile.h"
#include "cli/Secrets.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <utility>
#include <vector>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

// A pipe is read up to the bound like a file: one byte more is refused, never cut off.
TEST(InputFile, APipeIsReadUpToTheBoundAndRefusedPastIt)
{
    constexpr std::size_t kBound = 1000;
    const struct {
        std::size_t size;
        const char *error; // "" when read whole
    } cases[] = {
        {kBound, ""},
        {kBound + 1, "it holds more than the 1000 bytes read at most"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.size);
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const std::string bytes(c.size, 'x');
        EXPECT_EQ(::write(fds[1], bytes.data(), bytes.size()), ssize_t(bytes.size())); // within the pipe's buffer
        ::close(fds[1]);
        const InputFile read = ReadBoundedFile("/dev/fd/" + std::to_string(fds[0]), kBound, InputKinds::FilesAndPipes);
        ::close(fds[0]);
        EXPECT_EQ(read.bytes.has_value(), *c.error == '\0');
        EXPECT_EQ(read.bytes.value_or("").size(), *c.error ? 0 : c.size);
        EXPECT_NE(read.error.find(c.error), std::string::npos) << read.error;
    }
}

TEST(Secrets, FileComesBeforeTheEnvironment)
{
    const std::string file = ::testing::TempDir() + "lanscout_cli_" + std::to_string(::getpid()) + "_file";
    std::ofstream(file, std::ios::binary) << "from-file\n";
    ::setenv(kPasswordVariable, "from-environment", 1);
    EXPECT_EQ(ObtainPassword(file, "unused").value, "from-file");
    EXPECT_EQ(ObtainPassword(std::nullopt, "unused").value, "from-environment");
    ::setenv(kPasswordVariable, "", 1);
    EXPECT_NE(ObtainPassword(std::nullopt, "unused").error.find("LANSCOUT_PASSWORD is empty"), std::string::npos);
    ::unsetenv(kPasswordVariable);
    std::remove(file.c_str());
}

// The prompt on a real terminal: a pseudo-terminal is the controlling terminal of a
// child that asks, and the test types as the user would.
namespace {

class PromptOnPty : public ::testing::Test {
protected:
    // The child asks, then writes "[answer or error] echo=on|off".
    void StartAsking(Secret (*ask)())
    {
        m_pid = ::forkpty(&m_master, nullptr, nullptr, nullptr);
        ASSERT_GE(m_pid, 0) << std::strerror(errno);
        if (m_pid == 0) {
            ::unsetenv(kPasswordVariable);
            ::signal(SIGINT, SIG_DFL); // a shell's background job starts with it ignored
            const Secret secret = ask();
            termios settings{};
            ::tcgetattr(STDIN_FILENO, &settings);
            const std::string report = "[" + secret.value.value_or(secret.error) + "] echo=" +
                                       ((settings.c_lflag & ECHO) ? "on" : "off") + "\n";
            [[maybe_unused]] const ssize_t n = ::write(STDOUT_FILENO, report.data(), report.size());
            ::_exit(0);
        }
    }

    void TearDown() override { EndChild(); }

    void EndChild()
    {
        if (m_pid > 0 && !m_reaped) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_master >= 0)
            ::close(m_master);
        m_pid = m_master = -1;
        m_reaped = false;
        m_shown.clear();
    }

    // What the terminal showed until the text appeared, the child closed it, or 10 s.
    std::string ReadUntil(const std::string &text)
    {
        for (;;) {
            if (const std::size_t found = m_shown.find(text); found != std::string::npos) {
                const std::string upToText = m_shown.substr(0, found + text.size());
                m_shown.erase(0, upToText.size());
                return upToText;
            }
            pollfd fd{m_master, POLLIN, 0};
            char buffer[256];
            const ssize_t n = ::poll(&fd, 1, 10000) == 1 ? ::read(m_master, buffer, sizeof buffer) : -1;
            if (n <= 0)
                return std::exchange(m_shown, std::string());
            m_shown.append(buffer, std::size_t(n));
        }
    }

    void Type(const std::string &keys) { ASSERT_EQ(::write(m_master, keys.data(), keys.size()), ssize_t(keys.size())); }

    bool EchoOn() const
    {
        termios settings{};
        ::tcgetattr(m_master, &settings);
        return settings.c_lflag & ECHO;
    }

    // The child's end, or -1 when it has not ended within 10 s.
    int WaitStatus()
    {
        int status = 0;
        for (int tries = 0; tries < 1000; ++tries) {
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_reaped = true;
                return status;
            }
            ::usleep(10000);
        }
        return -1;
    }

    pid_t m_pid = -1;
    int m_master = -1;
    bool m_reaped = false;
    std::string m_shown;
};

} // namespace

TEST_F(PromptOnPty, TypedLinesAreNotEchoedAndEchoComesBack)
{
    const struct {
        const char *name;
        Secret (*ask)();
        std::vector<std::pair<const char *, const char *>> prompts; // prompt, typed
        const char *result;
    } cases[] = {
        {"password", [] { return ObtainPassword(std::nullopt, "Password for admin: "); },
         {{"Password for admin: ", "s3 cr&t%\xE9"}}, "[s3 cr&t%\xE9]"},
        {"new password", [] { return ObtainNewPassword(std::nullopt); },
         {{"New password: ", "Secret-123"}, {"New password again: ", "Secret-123"}}, "[Secret-123]"},
        {"new passwords differ", [] { return ObtainNewPassword(std::nullopt); },
         {{"New password: ", "Secret-123"}, {"New password again: ", "Secret-124"}},
         "[Please confirm your input passwords are identical!]"},
        {"new password too short", [] { return ObtainNewPassword(std::nullopt); },
         {{"New password: ", "short"}, {"New password again: ", "short"}}, "[Password must be 8 to 30 characters!]"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EndChild();
        StartAsking(c.ask);
        std::string shown;
        for (const auto &[prompt, typed] : c.prompts) {
            shown += ReadUntil(prompt);
            ASSERT_NE(shown.find(prompt), std::string::npos) << shown;
            EXPECT_FALSE(EchoOn());
            Type(std::string(typed) + "\n");
        }
        shown += ReadUntil(" echo=on");
        const std::size_t report = shown.rfind('[');
        EXPECT_EQ(shown.substr(report), std::string(c.result) + " echo=on") << shown;
        for (const auto &[prompt, typed] : c.prompts)
            EXPECT_EQ(shown.substr(0, report).find(typed), std::string::npos) << "echoed: " << shown;
        EXPECT_EQ(WaitStatus(), 0);
    }
}

TEST_F(PromptOnPty, InterruptRestoresEchoThenEndsTheProgram)
{
    StartAsking([] { return AskOnTerminal("Password: "); });
    ASSERT_NE(ReadUntil("Password: ").find("Password: "), std::string::npos);
    ASSERT_FALSE(EchoOn());
    Type("half\x03"); // Ctrl-C
    const int status = WaitStatus();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    EXPECT_TRUE(EchoOn());
}

TEST(Secrets, NoTerminalIsAClearError)
{
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::setsid(); // no controlling terminal from here on
        ::unsetenv(kPasswordVariable);
        const std::string error = ObtainPassword(std::nullopt, "Password: ").error;
        [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], error.data(), error.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string error;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        error.append(buffer, std::size_t(n));
    ::close(pipeFds[0]);
    ::waitpid(pid, nullptr, 0);
    EXPECT_EQ(error.rfind("no terminal to ask on", 0), 0u) << error;
    EXPECT_NE(error.find(kPasswordVariable), std::string::npos) << error;
}
