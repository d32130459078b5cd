#pragma once
// Runs camsim in the lab's camera namespace for one test and reads its event log.

#include <string>
#include <sys/types.h>
#include <vector>

class CamsimProcess final {
public:
    // Starts camsim with these arguments (besides interface and log) and waits until
    // it is listening. Throws std::runtime_error when it cannot start.
    explicit CamsimProcess(std::vector<std::string> args);
    ~CamsimProcess();
    CamsimProcess(const CamsimProcess &) = delete;
    CamsimProcess &operator=(const CamsimProcess &) = delete;

    std::vector<std::string> LogLines() const;
    // True once `count` log lines contain the needle.
    bool WaitForLog(const std::string &needle, int timeoutMs, int count = 1) const;
    int CountLog(const std::string &needle) const;

    static std::string ToolAddress();
    static std::string FirstCameraAddress();

private:
    pid_t m_pid = -1;
    std::string m_logPath;
};
