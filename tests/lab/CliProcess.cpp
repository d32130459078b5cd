#include "tests/lab/CliProcess.h"

#include "tests/lab/LabFile.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

extern char **environ;

namespace {

// The program this build made, or LANSCOUT_CLI_PROGRAM run by LANSCOUT_CLI_EMULATOR
// (the Windows build's lanscout-cli.exe under Wine).
std::vector<std::string> CliCommand()
{
    const char *program = std::getenv("LANSCOUT_CLI_PROGRAM");
    const char *emulator = std::getenv("LANSCOUT_CLI_EMULATOR");
    if (!program || !*program)
        return {LANSCOUT_CLI};
    if (!emulator || !*emulator)
        return {program};
    return {emulator, program};
}

// The program's argv and environment: LANSCOUT_PASSWORD unset unless env gives it.
struct CliInvocation {
    std::vector<std::string> argv, environment;
    std::vector<char *> argp, envp;

    CliInvocation(const std::vector<std::string> &args, const std::map<std::string, std::string> &env)
    {
        argv = CliCommand();
        argv.insert(argv.end(), args.begin(), args.end());
        for (char **entry = environ; *entry; ++entry)
            if (std::string(*entry).rfind("LANSCOUT_PASSWORD=", 0) != 0)
                environment.emplace_back(*entry);
        for (const auto &[name, value] : env)
            environment.push_back(name + "=" + value);
        argp = Pointers(argv);
        envp = Pointers(environment);
    }

    static std::vector<char *> Pointers(std::vector<std::string> &texts)
    {
        std::vector<char *> pointers;
        for (std::string &text : texts)
            pointers.push_back(text.data());
        pointers.push_back(nullptr);
        return pointers;
    }
};

// Appends what the terminal shows until the text appears, the program closes it, or 20 s
// pass without a byte.
void ReadTerminalUntil(int terminal, const std::string &text, std::string &shown)
{
    char buffer[512];
    while (text.empty() || shown.find(text) == std::string::npos) {
        pollfd ready{terminal, POLLIN, 0};
        const ssize_t n = poll(&ready, 1, 20000) == 1 ? read(terminal, buffer, sizeof buffer) : -1;
        if (n <= 0)
            return;
        shown.append(buffer, std::size_t(n));
    }
}

} // namespace

CliResult RunCli(const std::vector<std::string> &args, const std::map<std::string, std::string> &env)
{
    lab::LabFile out(""), err("");
    CliInvocation cli(args, env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.Path().c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.Path().c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID); // no controlling terminal to ask on
    pid_t pid = -1;
    CliResult result;
    if (posix_spawn(&pid, cli.argp[0], &actions, &attributes, cli.argp.data(), cli.envp.data()) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    result.out = lab::ReadFile(out.Path());
    result.err = lab::ReadFile(err.Path());
    return result;
}

CliResult RunCliAnswering(const std::vector<std::string> &args, const std::map<std::string, std::string> &env,
                          const std::string &answer, const std::function<void(pid_t)> &atQuestion)
{
    CliInvocation cli(args, env);
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        execve(cli.argp[0], cli.argp.data(), cli.envp.data());
        _exit(127);
    }
    CliResult result;
    if (pid < 0)
        return result;
    ReadTerminalUntil(terminal, "Send? [y/N] ", result.out);
    atQuestion(pid);
    if (write(terminal, answer.data(), answer.size()) == ssize_t(answer.size()))
        ReadTerminalUntil(terminal, "", result.out);
    close(terminal);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

std::string MovePlan(int count)
{
    std::string plan = "mac,ip,http_port,mode\n";
    for (int i = 0; i < count; ++i) {
        char mac[32];
        std::snprintf(mac, sizeof mac, "02:4C:53:00:%02X:%02X", (i + 1) >> 8, (i + 1) & 0xff);
        plan += std::string(mac) + ",10.77.2." + std::to_string(i + 1) + "," + std::to_string(8000 + i) + ",static\n";
    }
    return plan;
}
