#pragma once
// lanscout-cli run as a user runs it, in a process of its own beside camsim, and the
// address plans it is given. Needs the environment that tests/lab/lab.sh sets up.

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// The program is the one this build made, unless LANSCOUT_CLI_PROGRAM names another,
// run by LANSCOUT_CLI_EMULATOR when that is set (as tests/windows runs lanscout-cli.exe
// under Wine).

// Runs lanscout-cli with its output in files, no terminal and LANSCOUT_PASSWORD unset
// unless env gives it.
CliResult RunCli(const std::vector<std::string> &args, const std::map<std::string, std::string> &env = {});

// Runs lanscout-cli on a terminal of its own, as at the keyboard: once its question
// shows, atQuestion runs (given the program's process) and the answer is typed. out holds
// all the terminal showed, standard error too.
CliResult RunCliAnswering(const std::vector<std::string> &args, const std::map<std::string, std::string> &env,
                          const std::string &answer, const std::function<void(pid_t)> &atQuestion);

// The plan of camsim's first count generated cameras: each to 10.77.2.x, HTTP port
// 8000 + x, static (every fourth is under DHCP now).
std::string MovePlan(int count);
