// lanscout-cli's system side on Linux: no core file and no debugger of the same user,
// errno's texts, and the controlling terminal through termios.
#include "cli/Console.h"
#include "platform/InputFile.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace {

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

// Without SA_RESTART, so that a signal the program survives still ends the read.
void CatchEndingSignals()
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

void RestoreSignals()
{
    for (std::size_t i = 0; i < kEndingSignals.size(); ++i)
        ::sigaction(kEndingSignals[i], &g_previousActions[i], nullptr);
}

} // namespace

std::vector<std::string> ProgramArguments(int argc, char **argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

// Nor may a debugger attached as the same user read it.
void KeepMemoryToItself()
{
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

void WriteOutputAsGiven()
{
}

bool ErrorStreamRewritesLines()
{
    return ::isatty(STDERR_FILENO) == 1;
}

CTerminal::CTerminal()
{
    const int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty < 0)
        m_failure = "/dev/tty: " + LastSystemError();
    m_input = m_output = tty;
}

CTerminal::~CTerminal()
{
    if (m_quiet) {
        ::tcsetattr(g_quietTty, TCSANOW, &g_echoingSettings);
        RestoreSignals();
    }
    if (m_input >= 0)
        ::close(int(m_input));
}

bool CTerminal::EchoOff()
{
    const int tty = int(m_input);
    if (::tcgetattr(tty, &g_echoingSettings) != 0)
        return false;
    g_quietTty = tty;
    g_interruptedBy = 0;
    CatchEndingSignals();
    m_quiet = true;
    termios quiet = g_echoingSettings;
    quiet.c_lflag &= tcflag_t(~(ECHO | ECHOE | ECHOK));
    return ::tcsetattr(tty, TCSAFLUSH, &quiet) == 0;
}

bool CTerminal::Write(std::string_view text)
{
    while (!text.empty()) {
        const ssize_t n = ::write(int(m_output), text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        text.remove_prefix(std::size_t(n));
    }
    return true;
}

// A byte at a time, so that nothing past the line is taken from the terminal.
CTerminal::Read CTerminal::ReadTyped(std::string &typed)
{
    for (;;) {
        char c;
        const ssize_t n = ::read(int(m_input), &c, 1);
        if (n < 0 && errno == EINTR && !g_interruptedBy)
            continue;
        if (n < 0)
            return g_interruptedBy ? Read::Interrupted : Read::Failed;
        if (n == 0)
            return Read::End;
        typed += c;
        return Read::Some;
    }
}
