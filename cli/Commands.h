#pragma once
// lanscout-cli's commands: each takes the arguments after its name and returns the
// program's exit status (cli/ExitStatus.h).

#include <string>
#include <vector>

using Arguments = std::vector<std::string>;

struct Command {
    const char *name;
    const char *summary;
    int (*run)(const Arguments &args);
};

// Every command, in the order the program's --help lists them.
const std::vector<Command> &Commands();
