// lanscout-cli's system side on Windows: the command line in UTF-16, no crash report,
// the system's message texts, and the console through its own modes.
#include "cli/Console.h"
#include "platform/InputFile.h"
#include "platform/WideText.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>

namespace {

// What the console's control handler needs to give the echo back. One prompt at a time.
HANDLE g_quietConsole = INVALID_HANDLE_VALUE;
DWORD g_echoingMode = 0;

// Ctrl+C, Ctrl+Break or the console closing: echo back on, then the event goes on to the
// handler that would have had it without the prompt (by default the program ends).
BOOL WINAPI RestoreEchoAndPassOn(DWORD)
{
    ::SetConsoleMode(g_quietConsole, g_echoingMode);
    return FALSE;
}

// A crash ends the program there and then: no dialog waits on the screen, and Windows
// Error Reporting, whose report would carry a dump of the memory, is never called.
LONG WINAPI EndWithoutReport(EXCEPTION_POINTERS *)
{
    return EXCEPTION_EXECUTE_HANDLER;
}

HANDLE OpenConsole(const wchar_t *name)
{
    return ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
}

HANDLE AsHandle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace

std::vector<std::string> ProgramArguments(int argc, char **argv)
{
    int count = 0;
    wchar_t **wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(Utf8FromWide(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

// Windows has no switch that keeps a debugger of the same user out: the user may always
// take back rights over their own process.
void KeepMemoryToItself()
{
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ::SetUnhandledExceptionFilter(EndWithoutReport);
}

void WriteOutputAsGiven()
{
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
}

// The progress line is rewritten with a terminal's control sequences, which a console
// follows once asked to (Windows 10 and later); a console that cannot shows no progress.
bool ErrorStreamRewritesLines()
{
    const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (!::GetConsoleMode(error, &mode))
        return false;
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) ||
           ::SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

// The console itself, as /dev/tty is the terminal itself: standard input and output may
// be redirected.
CTerminal::CTerminal()
{
    const HANDLE input = OpenConsole(L"CONIN$");
    if (input == INVALID_HANDLE_VALUE) {
        m_failure = "the console: " + LastSystemError();
        return;
    }
    const HANDLE output = OpenConsole(L"CONOUT$");
    if (output == INVALID_HANDLE_VALUE) {
        m_failure = "the console: " + LastSystemError();
        ::CloseHandle(input);
        return;
    }
    m_input = reinterpret_cast<std::intptr_t>(input);
    m_output = reinterpret_cast<std::intptr_t>(output);
}

CTerminal::~CTerminal()
{
    if (m_quiet) {
        ::SetConsoleMode(g_quietConsole, g_echoingMode);
        ::SetConsoleCtrlHandler(RestoreEchoAndPassOn, FALSE);
    }
    if (m_failure.empty()) {
        ::CloseHandle(AsHandle(m_input));
        ::CloseHandle(AsHandle(m_output));
    }
}

bool CTerminal::EchoOff()
{
    const HANDLE input = AsHandle(m_input);
    if (!::GetConsoleMode(input, &g_echoingMode))
        return false;
    g_quietConsole = input;
    ::SetConsoleCtrlHandler(RestoreEchoAndPassOn, TRUE);
    m_quiet = true;
    // Lines are still edited and ended by the console: only what is typed is not shown.
    return ::SetConsoleMode(input, (g_echoingMode & ~DWORD(ENABLE_ECHO_INPUT)) | ENABLE_LINE_INPUT);
}

bool CTerminal::Write(std::string_view text)
{
    const std::wstring wide = WideFromUtf8(text);
    std::wstring_view rest = wide;
    while (!rest.empty()) {
        DWORD written = 0;
        if (!::WriteConsoleW(AsHandle(m_output), rest.data(), DWORD(rest.size()), &written, nullptr))
            return false;
        rest.remove_prefix(written);
    }
    return true;
}

// The console hands over a line as the user finished it; one longer than the buffer
// comes in parts, and nothing past its end is taken.
CTerminal::Read CTerminal::ReadTyped(std::string &typed)
{
    wchar_t keys[256];
    DWORD count = 0;
    ::SetLastError(ERROR_SUCCESS);
    const BOOL read = ::ReadConsoleW(AsHandle(m_input), keys, DWORD(std::size(keys)), &count, nullptr);
    if (::GetLastError() == ERROR_OPERATION_ABORTED) // Ctrl+C, while the program ends
        return Read::Interrupted;
    if (!read)
        return Read::Failed;
    // Ctrl+Z at the start of a line ends the input, as Ctrl+D does on a terminal.
    if (count == 0 || keys[0] == L'\x1a')
        return Read::End;
    std::wstring line(keys, count);
    line.erase(std::remove(line.begin(), line.end(), L'\r'), line.end()); // Enter gives CR LF
    typed += Utf8FromWide(line);
    return Read::Some;
}
