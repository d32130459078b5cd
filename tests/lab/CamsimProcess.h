#pragma once
// Runs camsim in the lab's camera namespace for one test, and reads its event log.
// Needs the environment that tests/lab/lab.sh sets up.

#include <string>
#include <sys/types.h>
#include <vector>

class CamsimProcess final {
public:
    // Starts camsim with `--interface $LANSCOUT_LAB_CAMERA_IF --log <temporary file>` and
    // these arguments, and waits (up to 10 s) until it is listening. Throws
    // std::runtime_error, with camsim's last log line or exit status, when it is not.
    explicit CamsimProcess(std::vector<std::string> args);
    // Stops camsim (SIGTERM), waits for it and removes the log.
    ~CamsimProcess();
    CamsimProcess(const CamsimProcess &) = delete;
    CamsimProcess &operator=(const CamsimProcess &) = delete;

    std::vector<std::string> LogLines() const;
    // The number of log lines that contain the needle.
    int CountLog(const std::string &needle) const;
    // True once `count` log lines contain the needle; false when the time runs out first.
    bool WaitForLog(const std::string &needle, int timeoutMs, int count = 1) const;

    static std::string ToolAddress();        // $LANSCOUT_LAB_TOOL_IP
    static std::string FirstCameraAddress(); // $LANSCOUT_LAB_FIRST_CAMERA_IP

private:
    void Start(std::vector<std::string> argv);
    // Waits for the "ready" line; the reason when camsim ended or timed out first.
    std::string AwaitReady();
    void Stop();

    pid_t m_pid = -1;
    std::string m_logPath;
};
