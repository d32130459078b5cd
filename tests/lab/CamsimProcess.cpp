#include "tests/lab/CamsimProcess.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace {

constexpr int kReadyTimeoutMs = 10000;
constexpr auto kPollInterval = std::chrono::milliseconds(10);

std::string LabVariable(const char *name)
{
    const char *value = std::getenv(name);
    if (!value || !*value)
        throw std::runtime_error(std::string(name) + " is not set: run this test through tests/lab/lab.sh");
    return value;
}

std::string MakeLogFile()
{
    char path[] = "/tmp/lanscout-camsim-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0)
        throw std::runtime_error("cannot make camsim's log file");
    ::close(fd);
    return path;
}

std::string ExitText(int status)
{
    if (WIFEXITED(status))
        return "camsim exited with status " + std::to_string(WEXITSTATUS(status));
    return "camsim ended by signal " + std::to_string(WTERMSIG(status));
}

} // namespace

CamsimProcess::CamsimProcess(std::vector<std::string> args)
{
    const std::string cameraNamespace = LabVariable("LANSCOUT_LAB_CAMERA_NETNS");
    const std::string cameraInterface = LabVariable("LANSCOUT_LAB_CAMERA_IF");
    m_logPath = MakeLogFile();
    std::vector<std::string> argv = {"nsenter",       "--net=" + cameraNamespace, "--",    CAMSIM_PATH,
                                     "--interface", cameraInterface,            "--log", m_logPath};
    argv.insert(argv.end(), args.begin(), args.end());
    Start(std::move(argv));
    const std::string problem = m_pid < 0 ? "cannot fork" : AwaitReady();
    if (!problem.empty()) {
        Stop();
        throw std::runtime_error("camsim did not start: " + problem);
    }
}

CamsimProcess::~CamsimProcess()
{
    Stop();
}

// camsim dies with the test process, so a crashed test leaves no camera namespace behind.
void CamsimProcess::Start(std::vector<std::string> argv)
{
    std::vector<char *> cargv;
    for (std::string &a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);
    const pid_t parent = ::getpid();
    m_pid = ::fork();
    if (m_pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        ::execvp(cargv[0], cargv.data());
        ::_exit(127);
    }
}

std::string CamsimProcess::AwaitReady()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadyTimeoutMs);
    while (CountLog(" ready ") == 0) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            const std::vector<std::string> lines = LogLines();
            return ExitText(status) + (lines.empty() ? "" : ": " + lines.back());
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return "no \"ready\" line within " + std::to_string(kReadyTimeoutMs) + " ms";
        std::this_thread::sleep_for(kPollInterval);
    }
    return {};
}

void CamsimProcess::Stop()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    if (!m_logPath.empty()) {
        ::unlink(m_logPath.c_str());
        m_logPath.clear();
    }
}

std::vector<std::string> CamsimProcess::LogLines() const
{
    std::vector<std::string> lines;
    std::ifstream in(m_logPath);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

int CamsimProcess::CountLog(const std::string &needle) const
{
    int n = 0;
    for (const std::string &line : LogLines())
        if (line.find(needle) != std::string::npos)
            ++n;
    return n;
}

bool CamsimProcess::WaitForLog(const std::string &needle, int timeoutMs, int count) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (CountLog(needle) < count) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

std::string CamsimProcess::ToolAddress()
{
    return LabVariable("LANSCOUT_LAB_TOOL_IP");
}

std::string CamsimProcess::FirstCameraAddress()
{
    return LabVariable("LANSCOUT_LAB_FIRST_CAMERA_IP");
}
