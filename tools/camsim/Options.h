#pragma once

#include <string>

struct Options {
    int cameras = 0;
    std::string firstIp;
    std::string configPath;
    std::string interfaceName; // addresses are added here; empty: none are added
    int prefixLength = 22;
    std::string logPath; // empty: stdout
    int lateMs = 0;      // delay before each search is answered
    int repeat = 1;      // replies per camera per search
    int dropPercent = 0; // share of replies left out
    unsigned seed = 1;
    bool malformed = false; // add bad datagrams to each answer
    int rebootMs = 3000;    // silence after a reboot command
};
