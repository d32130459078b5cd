// lanscout-cli: the cameras of a site from a terminal, with the window's protocol.
#include "platform/FileVersion.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/ExitStatus.h"
#include "platform/DebugOutput.h"
#include "platform/MessageBox.h"

#include <cstdio>
#include <cstring>

namespace {

void PrintProgramUsage(std::FILE *stream)
{
    std::fputs("Usage: lanscout-cli COMMAND [OPTIONS]   (lanscout-cli COMMAND --help for its options)\n"
               "Finds, addresses, reboots and re-passwords IP cameras from a terminal; each change is\n"
               "verified. Results go to standard output, messages and progress to standard error.\n\n"
               "Commands:\n",
               stream);
    for (const Command &command : Commands())
        std::fprintf(stream, "  %-14s %s\n", command.name, command.summary);
    std::fputs("\nSee lanscout-cli(1) for the exit statuses.\n", stream);
}

// What the camera's web API would show in a box goes to standard error; its debug
// lines are for the window's developers.
void ReportToTerminal()
{
    SetMessageBoxHandler([](const MessageRequest &request) {
        std::fprintf(stderr, "lanscout-cli: %s\n", request.text.c_str());
        return request.buttons == MessageButtons::YesNo ? ANSWER_NO : ANSWER_OK;
    });
    SetDebugSink([](std::string_view) {});
}

} // namespace

int main(int argc, char **argv)
{
    KeepMemoryToItself();
    WriteOutputAsGiven();
    const Arguments args = ProgramArguments(argc, argv);
    if (args.size() < 2) {
        PrintProgramUsage(stderr);
        return kExitUsage;
    }
    const std::string &name = args[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintProgramUsage(stdout);
        return kExitOk;
    }
    if (name == "--version") {
        CFileVersion version;
        version.Load();
        std::printf("lanscout-cli %s\n", version.GetText());
        return kExitOk;
    }
    for (const Command &command : Commands()) {
        if (name == command.name) {
            ReportToTerminal();
            return command.run(Arguments(args.begin() + 2, args.end()));
        }
    }
    std::fprintf(stderr, "lanscout-cli: unknown command '%s'\n", name.c_str());
    PrintProgramUsage(stderr);
    return kExitUsage;
}
