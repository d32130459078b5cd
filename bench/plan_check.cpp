// How long a plan file at the size bound (16 MiB) takes to check, and the memory it
// takes, in its worst shapes, against a full search list of 65 536 answering cameras:
// the form check lanscout-cli's apply makes before it asks for the password, then the
// check against the cameras (which the window's Import Plan makes too). Each shape runs
// in a process of its own, so each peak is its own:
//   build/bench/plan_check
#include "addressing/AddressBatch.h"
#include "platform/Ipv4.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kAnswering = 65536; // the search list's ceiling

std::string Mac(unsigned prefix, std::size_t n)
{
    char mac[24];
    std::snprintf(mac, sizeof mac, "02:%02X:00:%02X:%02X:%02X", prefix, unsigned(n >> 16) & 0xFF,
                  unsigned(n >> 8) & 0xFF, unsigned(n) & 0xFF);
    return mac;
}

// The answering cameras on 10.64.0.0/10; `sharedIp`, when given, is every camera's.
std::vector<Camera> Answering(const char *sharedIp)
{
    std::vector<Camera> cameras(kAnswering);
    for (std::size_t n = 0; n < kAnswering; ++n) {
        Camera &camera = cameras[n];
        camera.ipMode = IP_MODE_STATIC;
        camera.mac = Mac(0, n);
        camera.ip = sharedIp ? sharedIp : FormatIpv4(0x0A400000u + std::uint32_t(n) + 1);
        camera.subnetMask = "255.192.0.0";
        camera.gateway = "10.64.0.1";
    }
    return cameras;
}

// The header, then row(n) for n from 0 as long as the file stays within the bound.
std::string PlanOfRows(const std::function<std::string(std::size_t)> &row)
{
    std::string text = "mac,ip\n";
    for (std::size_t n = 0;; ++n) {
        const std::string line = row(n) + "\n";
        if (text.size() + line.size() > kMaxPlanBytes)
            return text;
        text += line;
    }
}

struct Shape {
    const char *name;
    std::function<std::string()> plan;
    const char *sharedIp; // every answering camera's address, or nothing
};

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Measure(const Shape &shape)
{
    const std::vector<Camera> answering = Answering(shape.sharedIp);
    const std::string text = shape.plan();
    auto start = std::chrono::steady_clock::now();
    const bool formSound = ParsePlan(text).problems.empty();
    const double formSeconds = SecondsSince(start);
    start = std::chrono::steady_clock::now();
    const CheckedPlan plan = PlanFromCsv(text, answering);
    const double checkSeconds = SecondsSince(start);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("%-34s %5.1f MiB: form check %.2f s (%s), check against %zu cameras %.2f s, %zu rows kept, "
                "%zu problem lines, the last \"%s\"; peak resident memory %ld MB\n",
                shape.name, double(text.size()) / (1 << 20), formSeconds, formSound ? "sound" : "problems",
                answering.size(), checkSeconds, plan.rows.size(), plan.problems.size(),
                plan.problems.empty() ? "" : plan.problems.back().c_str(), usage.ru_maxrss / 1000);
    std::fflush(stdout);
}

} // namespace

int main()
{
    const Shape shapes[] = {
        {"rows of MACs that did not answer",
         [] { return PlanOfRows([](std::size_t n) { return Mac(0xFF, n) + "," + FormatIpv4(0x0A000000u + n); }); },
         nullptr},
        {"blank lines", [] { return "mac,ip\n" + std::string(kMaxPlanBytes - 7, '\n'); }, nullptr},
        {"commas", [] { return std::string(kMaxPlanBytes, ','); }, nullptr},
        {"one IP repeated, a camera's", [] { return PlanOfRows([](std::size_t n) { return Mac(0, n) + ",10.64.0.1"; }); },
         nullptr},
        {"one IP repeated, every camera's",
         [] { return PlanOfRows([](std::size_t n) { return Mac(0, n) + ",10.64.0.1"; }); }, "10.64.0.1"},
    };
    for (const Shape &shape : shapes) {
        const pid_t child = ::fork();
        if (child == 0) {
            Measure(shape);
            std::_Exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            std::printf("%-34s failed (status %d)\n", shape.name, status);
    }
    return 0;
}
