#include "tests/lab/CamsimProcess.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace {

std::string LabVariable(const char *name)
{
    const char *value = std::getenv(name);
    if (!value || !*value)
        throw std::runtime_error(std::string(name) + " is not set: run this test through tests/lab/lab.sh");
    return value;
}

} // namespace

CamsimProcess::CamsimProcess(std::vector<std::string> args)
{
    char logTemplate[] = "/tmp/camsim-test-XXXXXX";
    const int fd = ::mkstemp(logTemplate);
    if (fd < 0)
        throw std::runtime_error("cannot make camsim's log file");
    ::close(fd);
    m_logPath = logTemplate;

    std::vector<std::string> argv = {"nsenter", "--net=" + LabVariable("LANSCOUT_LAB_CAMERA_NETNS"), "--",
                                     CAMSIM_PATH, "--interface", LabVariable("LANSCOUT_LAB_CAMERA_IF"),
                                     "--log", m_logPath};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char *> cargv;
    for (std::string &a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);

    m_pid = ::fork();
    if (m_pid == 0) {
        ::execvp(cargv[0], cargv.data());
        ::_exit(127);
    }
    if (m_pid < 0 || !WaitForLog(" ready ", 20000)) {
        const std::vector<std::string> lines = LogLines();
        this->~CamsimProcess();
        throw std::runtime_error("camsim did not start" + (lines.empty() ? std::string() : ": " + lines.back()));
    }
}

CamsimProcess::~CamsimProcess()
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
    for (;;) {
        if (CountLog(needle) >= count)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string CamsimProcess::ToolAddress()
{
    return LabVariable("LANSCOUT_LAB_TOOL_IP");
}

std::string CamsimProcess::FirstCameraAddress()
{
    return LabVariable("LANSCOUT_LAB_FIRST_CAMERA_IP");
}
