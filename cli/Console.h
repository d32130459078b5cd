#pragma once
// What lanscout-cli asks of the system it runs on, one file per platform
// (ConsoleLinux.cpp, ConsoleWindows.cpp): its arguments, its hold on its own memory, the
// system's reasons, and the user's terminal. Console.cpp asks the user on it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The command line in UTF-8, as a Linux terminal gives it (Windows hands argv over in
// its own code page, which cannot name every file).
std::vector<std::string> ProgramArguments(int argc, char **argv);

// A password the program holds must not land on disk in a core file or crash report.
void KeepMemoryToItself();

// Standard output and error carry the bytes written, the same on every system: a list
// or report piped to a file is the same file everywhere (Windows would put a CR before
// each LF, and before the CR of a line that already ends in CR LF).
void WriteOutputAsGiven();

// Whether standard error is a terminal that rewrites a line in place.
bool ErrorStreamRewritesLines();

// The user's terminal, reached even when standard input and output are redirected:
// /dev/tty on Linux, the console on Windows. One at a time.
class CTerminal final {
public:
    CTerminal();
    ~CTerminal(); // echo back on, then closed
    CTerminal(const CTerminal &) = delete;
    CTerminal &operator=(const CTerminal &) = delete;

    // Why there is no terminal, naming it; empty when it opened.
    const std::string &Failure() const { return m_failure; }
    // Keys typed are not shown until the terminal goes; a signal or Ctrl+C that ends the
    // program gives the echo back first.
    bool EchoOff();
    bool Write(std::string_view text);

    enum class Read { Some, End, Interrupted, Failed };
    // Appends what was typed next, no further than the end of its line, which is one LF.
    Read ReadTyped(std::string &typed);

private:
    std::intptr_t m_input = -1;
    std::intptr_t m_output = -1;
    bool m_quiet = false;
    std::string m_failure;
};

// A line typed on the terminal after the prompt, without its line end, or why there is none.
struct TypedLine {
    std::optional<std::string> text;
    std::string error;
};

enum class Echo { Shown, Hidden };

// Lines longer than 4096 bytes are refused rather than read on.
TypedLine TypedOnTerminal(const std::string &prompt, Echo echo);
