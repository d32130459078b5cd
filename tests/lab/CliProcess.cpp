#include "tests/lab/CliProcess.h"

#include "tests/lab/LabFile.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

extern char **environ;

CliResult RunCli(const std::vector<std::string> &args, const std::map<std::string, std::string> &env)
{
    lab::LabFile out(""), err("");
    std::vector<std::string> argv{LANSCOUT_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char *> argp;
    for (std::string &arg : argv)
        argp.push_back(arg.data());
    argp.push_back(nullptr);
    std::vector<std::string> environment;
    for (char **entry = environ; *entry; ++entry)
        if (std::string(*entry).rfind("LANSCOUT_PASSWORD=", 0) != 0)
            environment.emplace_back(*entry);
    for (const auto &[name, value] : env)
        environment.push_back(name + "=" + value);
    std::vector<char *> envp;
    for (std::string &entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

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
    if (posix_spawn(&pid, argp[0], &actions, &attributes, argp.data(), envp.data()) == 0) {
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
