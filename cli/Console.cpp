#include "cli/Console.h"
#include "platform/InputFile.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr std::size_t kMaxTypedBytes = 4096;

TypedLine Failure(std::string error)
{
    return TypedLine{std::nullopt, std::move(error)};
}

TypedLine ReadTypedLine(CTerminal &terminal)
{
    std::string typed;
    while (typed.find('\n') == std::string::npos && typed.size() <= kMaxTypedBytes) {
        const CTerminal::Read read = terminal.ReadTyped(typed);
        if (read == CTerminal::Read::Interrupted)
            return Failure("interrupted");
        if (read == CTerminal::Read::Failed)
            return Failure("cannot read the terminal: " + LastSystemError());
        if (read == CTerminal::Read::End)
            break;
    }
    typed.resize(std::min(typed.size(), typed.find('\n')));
    if (typed.size() > kMaxTypedBytes)
        return Failure("more than " + std::to_string(kMaxTypedBytes) + " bytes typed");
    return TypedLine{std::move(typed), {}};
}

TypedLine Ask(CTerminal &terminal, const std::string &prompt, Echo echo)
{
    if (echo == Echo::Hidden && !terminal.EchoOff())
        return Failure("cannot turn the terminal's echo off: " + LastSystemError());
    if (!terminal.Write(prompt))
        return Failure("cannot write to the terminal: " + LastSystemError());
    return ReadTypedLine(terminal);
}

} // namespace

TypedLine TypedOnTerminal(const std::string &prompt, Echo echo)
{
    CTerminal terminal;
    if (!terminal.Failure().empty())
        return Failure("no terminal to ask on (" + terminal.Failure() + ")");
    TypedLine typed = Ask(terminal, prompt, echo);
    if (echo == Echo::Hidden)
        terminal.Write("\n"); // the line end the user typed was not shown
    return typed;
}
