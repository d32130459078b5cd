// camsim: plays any number of IP cameras on one interface, for the lab tests and the demo.
#include "tools/camsim/Camera.h"
#include "tools/camsim/DiscoveryResponder.h"
#include "tools/camsim/Interface.h"
#include "tools/camsim/Log.h"
#include "tools/camsim/Options.h"
#include "tools/camsim/WebServer.h"

#include <poll.h>
#include <signal.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
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
    "  --interface IF     put the cameras' addresses on IF, and each new one a camera is given\n"
    "  --prefix N         prefix length of those addresses and of generated masks (22)\n"
    "  --log FILE         event log (default: standard output)\n"
    "  --late-ms MS       send each search's answers MS later\n"
    "  --result-delay-ms MS  send each set-config result MS after its command came\n"
    "  --repeat K         answer each search K times per camera\n"
    "  --drop-percent P   leave out P% of the replies, chosen by a generator seeded with --seed S (1)\n"
    "  --malformed        after each search's replies send an empty, a short, an oversized\n"
    "                     and an unknown-type datagram\n"
    "  --reboot-ms MS     silence after a reboot or factory reset (3000)\n"
    "  --http-behaviour MODE  how the cameras' web pages answer: normal, ng, hang, slow,\n"
    "                     endless, plain-401, error-500, no-login, redirect or keeps-codec\n"
    "                     (normal); a camera file's http_behaviour key overrides it for\n"
    "                     its camera\n";

[[noreturn]] void Usage(const std::string &problem)
{
    std::fprintf(stderr, "camsim: %s\n%s", problem.c_str(), kUsage);
    std::exit(2);
}

int IntArgument(const std::string &name, const char *value, int min, int max)
{
    char *end = nullptr;
    errno = 0;
    const long n = std::strtol(value, &end, 10);
    if (*value == '\0' || *end != '\0' || errno != 0 || n < min || n > max)
        Usage(name + " needs a number from " + std::to_string(min) + " to " + std::to_string(max));
    return int(n);
}

HttpBehaviour BehaviourArgument(const char *value)
{
    const auto behaviour = ParseHttpBehaviour(value);
    if (!behaviour)
        Usage(std::string("unknown --http-behaviour ") + value);
    return *behaviour;
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
        if (arg == "--cameras") o.cameras = IntArgument(arg, value, 0, 100000);
        else if (arg == "--first-ip") o.firstIp = value;
        else if (arg == "--config") o.configPath = value;
        else if (arg == "--interface") o.interfaceName = value;
        else if (arg == "--prefix") o.prefixLength = IntArgument(arg, value, 1, 32);
        else if (arg == "--log") o.logPath = value;
        else if (arg == "--late-ms") o.lateMs = IntArgument(arg, value, 0, 600000);
        else if (arg == "--result-delay-ms") o.resultDelayMs = IntArgument(arg, value, 0, 600000);
        else if (arg == "--repeat") o.repeat = IntArgument(arg, value, 1, 1000);
        else if (arg == "--drop-percent") o.dropPercent = IntArgument(arg, value, 0, 100);
        else if (arg == "--seed") o.seed = unsigned(IntArgument(arg, value, 0, 1 << 30));
        else if (arg == "--reboot-ms") o.rebootMs = IntArgument(arg, value, 0, 600000);
        else if (arg == "--http-behaviour") o.httpBehaviour = BehaviourArgument(value);
        else Usage("unknown option " + arg);
    }
    if (o.configPath.empty() == o.firstIp.empty())
        Usage("give either --config, or --cameras with --first-ip");
    return o;
}

std::vector<SimCamera> MakeCameras(const Options &options)
{
    try {
        return options.configPath.empty() ? GenerateCameras(options.cameras, options.firstIp, options.prefixLength)
                                          : LoadCameras(options.configPath, options.prefixLength);
    } catch (const std::exception &e) {
        Usage(e.what());
    }
}

bool PutAddressesOnInterface(const Options &options, const std::vector<SimCamera> &cameras)
{
    if (options.interfaceName.empty())
        return true;
    std::vector<std::string> addresses;
    for (const SimCamera &camera : cameras)
        addresses.push_back(camera.network.ip);
    std::string problem;
    if (EnsureAddresses(options.interfaceName, addresses, options.prefixLength, problem))
        return true;
    std::fprintf(stderr, "camsim: cannot put the cameras' addresses on %s: %s\n", options.interfaceName.c_str(),
                 problem.c_str());
    return false;
}

// SIGTERM and SIGINT stay blocked except while waiting, so a stop request can never
// fall between the check of g_stop and the wait. Returns the mask to wait with.
sigset_t CatchStopSignals()
{
    struct sigaction stop {};
    stop.sa_handler = OnStopSignal;
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigset_t waitMask;
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    return waitMask;
}

void Serve(DiscoveryResponder &discovery, WebServer &web, const sigset_t &waitMask, Log &log)
{
    while (!g_stop) {
        const int timeoutMs = discovery.Tick(MonotonicMs());
        const timespec timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000000L};
        pollfd pfd{discovery.Handle(), POLLIN, 0};
        const int ready = ::ppoll(&pfd, 1, timeoutMs < 0 ? nullptr : &timeout, &waitMask);
        if (ready < 0 && errno != EINTR) {
            log.Line("error poll: %s", std::strerror(errno));
            return;
        }
        if (ready > 0) {
            discovery.OnReadable();
            web.ServeNewPorts(); // before the result of a set-config that moved a camera's port leaves
        }
    }
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
    std::vector<SimCamera> cameras = MakeCameras(options);
    if (!PutAddressesOnInterface(options, cameras))
        return 1;
    // Every thread started from here on inherits the blocked stop signals, so only the
    // main thread's wait takes them.
    const sigset_t waitMask = CatchStopSignals();
    std::mutex camerasMutex;
    DiscoveryResponder discovery(cameras, camerasMutex, options, log);
    if (!discovery.Open())
        return 1;
    WebServer web(cameras, camerasMutex, options, log);
    if (!web.Start())
        return 1;
    log.Line("ready cameras=%zu port=%u", cameras.size(), DISCOVERY_SEND_PORT);
    Serve(discovery, web, waitMask, log);
    web.Stop();
    log.Line("stopped");
    return 0;
}
