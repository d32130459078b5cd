#pragma once
// camsim's command line, as README.md describes it.

#include "tools/camsim/HttpBehaviour.h"

#include <string>

struct Options {
    int cameras = 0;
    std::string firstIp;
    std::string configPath;
    std::string interfaceName; // the cameras' addresses are put here; empty: left as they are
    int prefixLength = 22;
    std::string logPath;   // empty: standard output
    int lateMs = 0;        // delay of every search's answers
    int resultDelayMs = 0; // delay of every set-configuration result
    int repeat = 1;        // replies per camera per search
    int dropPercent = 0;   // share of replies left out, drawn from a generator seeded with `seed`
    unsigned seed = 1;
    bool malformed = false; // bad datagrams after each search's replies
    int rebootMs = 3000;    // silence after a reboot or factory reset
    HttpBehaviour httpBehaviour = HttpBehaviour::Normal; // of every camera without its own
};
