#include "cli/Secrets.h"

#include "camapi/PasswordChange.h"
#include "cli/InputFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Longer first lines are refused rather than read on: a path naming a device or a big
// file by mistake must not be read to its end.
constexpr std::size_t kMaxLineBytes = 4096;

Secret Failure(std::string error)
{
    return Secret{std::nullopt, std::move(error)};
}

std::string SystemReason()
{
    return std::strerror(errno);
}

// A secret a camera can take: not empty, and without a NUL byte, which would end the
// password early where the camera reads it as a C string.
Secret Usable(std::string value, const std::string &what)
{
    if (value.empty())
        return Failure(what + " is empty");
    if (value.find('\0') != std::string::npos)
        return Failure(what + " holds a NUL byte, which a camera's password cannot (a UTF-16 file?)");
    return Secret{std::move(value), {}};
}

// Reads until a line feed, the end, or more than kMaxLineBytes; nothing on a read error.
std::optional<std::string> ReadFirstLineBytes(int fd)
{
    std::optional<std::string> bytes = ReadUpTo(fd, kMaxLineBytes, true);
    if (bytes)
        bytes->resize(std::min(bytes->size(), bytes->find('\n')));
    return bytes;
}

std::string WithoutCarriageReturn(std::string line)
{
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

// --- The terminal ---------------------------------------------------------------

// What a signal handler needs to give the terminal its echo back. One prompt at a time.
constexpr std::array kEndingSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
int g_quietTty = -1;
termios g_echoingSettings;
std::array<struct sigaction, kEndingSignals.size()> g_previousActions;
volatile std::sig_atomic_t g_interruptedBy = 0;

// Echo back on, then the signal handled as it would have been without the prompt (the
// default for SIGINT: the program ends).
void RestoreEchoAndResignal(int signal)
{
    ::tcsetattr(g_quietTty, TCSANOW, &g_echoingSettings);
    for (std::size_t i = 0; i < kEndingSignals.size(); ++i)
        if (kEndingSignals[i] == signal)
            ::sigaction(signal, &g_previousActions[i], nullptr);
    g_interruptedBy = signal;
    ::raise(signal);
}

bool Ignored(const struct sigaction &action)
{
    return !(action.sa_flags & SA_SIGINFO) && action.sa_handler == SIG_IGN;
}

// Echo off on the terminal for as long as it lives.
class EchoOff {
public:
    EchoOff(int tty, const termios &echoing)
    {
        g_quietTty = tty;
        g_echoingSettings = echoing;
        g_interruptedBy = 0;
        CatchEndingSignals();
        termios quiet = echoing;
        quiet.c_lflag &= tcflag_t(~(ECHO | ECHOE | ECHOK));
        m_ok = ::tcsetattr(tty, TCSAFLUSH, &quiet) == 0;
    }

    ~EchoOff()
    {
        ::tcsetattr(g_quietTty, TCSANOW, &g_echoingSettings);
        for (std::size_t i = 0; i < kEndingSignals.size(); ++i)
            ::sigaction(kEndingSignals[i], &g_previousActions[i], nullptr);
    }

    EchoOff(const EchoOff &) = delete;
    EchoOff &operator=(const EchoOff &) = delete;

    bool Ok() const { return m_ok; }

private:
    // Without SA_RESTART, so that a signal the program survives still ends the read.
    static void CatchEndingSignals()
    {
        struct sigaction catcher {};
        catcher.sa_handler = RestoreEchoAndResignal;
        sigemptyset(&catcher.sa_mask);
        for (int signal : kEndingSignals)
            sigaddset(&catcher.sa_mask, signal);
        for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
            ::sigaction(kEndingSignals[i], nullptr, &g_previousActions[i]);
            if (!Ignored(g_previousActions[i]))
                ::sigaction(kEndingSignals[i], &catcher, nullptr);
        }
    }

    bool m_ok = false;
};

bool WriteAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        text.remove_prefix(std::size_t(n));
    }
    return true;
}

Secret ReadTypedLine(int tty)
{
    std::string line;
    for (;;) {
        char c;
        const ssize_t n = ::read(tty, &c, 1);
        if (n < 0 && errno == EINTR && !g_interruptedBy)
            continue;
        if (n < 0 && g_interruptedBy)
            return Failure("interrupted");
        if (n < 0)
            return Failure("cannot read the terminal: " + SystemReason());
        if (n == 0 || c == '\n')
            return Secret{line, {}};
        if (line.size() == kMaxLineBytes)
            return Failure("more than " + std::to_string(kMaxLineBytes) + " bytes typed");
        line += c;
    }
}

Secret AskQuietly(int tty, const std::string &prompt)
{
    termios echoing;
    if (::tcgetattr(tty, &echoing) != 0)
        return Failure("cannot read the terminal's settings: " + SystemReason());
    const EchoOff echoOff(tty, echoing);
    if (!echoOff.Ok())
        return Failure("cannot turn the terminal's echo off: " + SystemReason());
    if (!WriteAll(tty, prompt))
        return Failure("cannot write to the terminal: " + SystemReason());
    return ReadTypedLine(tty);
}

// The camera's own rule, with the texts the password dialog shows.
Secret NewPasswordTheCameraTakes(Secret secret, const std::string &confirmation)
{
    if (!secret.value)
        return secret;
    if (const char *problem = NewPasswordProblem(*secret.value, confirmation))
        return Failure(problem);
    return secret;
}

// When the terminal cannot be asked, the error says where else the password can come from.
Secret TypedPassword(const std::string &prompt, const std::string &what, const std::string &elsewhere)
{
    Secret typed = AskOnTerminal(prompt);
    if (!typed.value)
        return Failure(typed.error + "; " + elsewhere);
    return Usable(*typed.value, what);
}

} // namespace

Secret ReadSecretFile(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Failure("cannot open " + path + ": " + SystemReason());
    const FileCloser closer(fd);
    const std::optional<std::string> line = ReadFirstLineBytes(fd);
    if (!line)
        return Failure("cannot read " + path + ": " + SystemReason());
    if (line->size() > kMaxLineBytes)
        return Failure("the first line of " + path + " is longer than " + std::to_string(kMaxLineBytes) + " bytes");
    return Usable(WithoutCarriageReturn(*line), "the first line of " + path);
}

Secret AskOnTerminal(const std::string &prompt)
{
    const int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty < 0)
        return Failure("no terminal to ask on (/dev/tty: " + SystemReason() + ")");
    const FileCloser closer(tty);
    Secret typed = AskQuietly(tty, prompt);
    WriteAll(tty, "\n"); // the line end the user typed was not echoed
    return typed;
}

Secret ObtainPassword(const std::optional<std::string> &passwordFile, const std::string &prompt)
{
    if (passwordFile)
        return ReadSecretFile(*passwordFile);
    if (const char *value = std::getenv(kPasswordVariable))
        return Usable(value, kPasswordVariable);
    return TypedPassword(prompt, "the password typed",
                         std::string("the password can also come from a file or from ") + kPasswordVariable);
}

Secret ObtainNewPassword(const std::optional<std::string> &newPasswordFile)
{
    if (newPasswordFile) {
        const Secret read = ReadSecretFile(*newPasswordFile);
        return NewPasswordTheCameraTakes(read, read.value.value_or(""));
    }
    const std::string elsewhere = "the new password can also come from a file";
    const Secret first = TypedPassword("New password: ", "the new password typed", elsewhere);
    if (!first.value)
        return first;
    const Secret second = TypedPassword("New password again: ", "the new password typed again", elsewhere);
    if (!second.value)
        return second;
    return NewPasswordTheCameraTakes(first, *second.value);
}
