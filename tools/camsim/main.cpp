// camsim: plays any number of IP cameras on one interface for tests and the demo.
#include "tools/camsim/Camera.h"
#include "tools/camsim/DiscoveryResponder.h"
#include "tools/camsim/Interface.h"
#include "tools/camsim/Log.h"
#include "tools/camsim/Options.h"

#include <poll.h>
#include <signal.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int)
{
    g_stop = 1;
}

const char *const kUsage =
    "usage: camsim (--cameras N --first-ip A | --config FILE) [options]\n"
    "  --interface IF     put the cameras' addresses on IF (and new ones when set)\n"
    "  --prefix N         prefix length of those addresses (22)\n"
    "  --log FILE         event log (default: standard output)\n"
    "  --late-ms MS       answer each search MS later\n"
    "  --repeat K         answer each search K times per camera\n"
    "  --drop-percent P   leave out P%% of the answers (--seed S)\n"
    "  --malformed        add empty, short, oversized and unknown-type datagrams to each answer\n"
    "  --reboot-ms MS     silence after a reboot or factory reset (3000)\n";

[[noreturn]] void Usage(const std::string &problem)
{
    std::fprintf(stderr, "camsim: %s\n%s", problem.c_str(), kUsage);
    std::exit(2);
}

int IntArgument(const char *name, const char *value, int min, int max)
{
    char *end = nullptr;
    const long n = std::strtol(value, &end, 10);
    if (*value == '\0' || *end != '\0' || n < min || n > max)
        Usage(std::string(name) + " needs a number from " + std::to_string(min) + " to " + std::to_string(max));
    return int(n);
}

Options ParseOptions(int argc, char **argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--malformed") {
            o.malformed = true;
            continue;
        }
        if (i + 1 >= argc)
            Usage("missing value after " + arg);
        const char *value = argv[++i];
        if (arg == "--cameras") o.cameras = IntArgument("--cameras", value, 0, 100000);
        else if (arg == "--first-ip") o.firstIp = value;
        else if (arg == "--config") o.configPath = value;
        else if (arg == "--interface") o.interfaceName = value;
        else if (arg == "--prefix") o.prefixLength = IntArgument("--prefix", value, 1, 32);
        else if (arg == "--log") o.logPath = value;
        else if (arg == "--late-ms") o.lateMs = IntArgument("--late-ms", value, 0, 600000);
        else if (arg == "--repeat") o.repeat = IntArgument("--repeat", value, 1, 1000);
        else if (arg == "--drop-percent") o.dropPercent = IntArgument("--drop-percent", value, 0, 100);
        else if (arg == "--seed") o.seed = unsigned(IntArgument("--seed", value, 0, 1 << 30));
        else if (arg == "--reboot-ms") o.rebootMs = IntArgument("--reboot-ms", value, 0, 600000);
        else Usage("unknown option " + arg);
    }
    if (o.configPath.empty() && o.firstIp.empty())
        Usage("give --config, or --cameras with --first-ip");
    return o;
}

std::int64_t NowMs(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char **argv)
{
    const Options options = ParseOptions(argc, argv);
    std::FILE *logFile = options.logPath.empty() ? stdout : std::fopen(options.logPath.c_str(), "a");
    if (!logFile) {
        std::fprintf(stderr, "camsim: cannot open log %s: %s\n", options.logPath.c_str(), std::strerror(errno));
        return 1;
    }
    Log log(logFile);

    std::vector<Camera> cameras;
    try {
        cameras = options.configPath.empty() ? GenerateCameras(options.cameras, options.firstIp)
                                             : LoadCameras(options.configPath);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "camsim: %s\n", e.what());
        return 2;
    }
    std::vector<std::string> addresses;
    for (const Camera &c : cameras)
        addresses.push_back(c.settings.ip);
    if (!AddAddresses(options.interfaceName, addresses, options.prefixLength)) {
        std::fprintf(stderr, "camsim: cannot add the cameras' addresses to %s\n", options.interfaceName.c_str());
        return 1;
    }

    struct sigaction stop {};
    stop.sa_handler = OnStopSignal;
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);

    const auto start = std::chrono::steady_clock::now();
    DiscoveryResponder discovery(cameras, options, log);
    if (!discovery.Open())
        return 1;
    log.Line(NowMs(start), "ready cameras=%zu", cameras.size());

    int timeoutMs = -1;
    while (!g_stop) {
        pollfd pfd{discovery.Handle(), POLLIN, 0};
        const int ready = ::poll(&pfd, 1, timeoutMs);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready > 0)
            discovery.OnReadable(NowMs(start));
        timeoutMs = discovery.SendDue(NowMs(start));
    }
    log.Line(NowMs(start), "stopped");
    return 0;
}
