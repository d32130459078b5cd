#include "tools/camsim/Interface.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>

extern char **environ;

namespace {

std::set<std::string> AddressesOn(const std::string &interfaceName)
{
    std::set<std::string> found;
    ifaddrs *list = nullptr;
    if (::getifaddrs(&list) != 0)
        return found;
    for (const ifaddrs *entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || interfaceName != entry->ifa_name)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in *>(entry->ifa_addr)->sin_addr, text, sizeof text);
        found.insert(text);
    }
    ::freeifaddrs(list);
    return found;
}

bool WriteAll(int fd, const std::string &text)
{
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

// Runs `ip -batch -` on the commands; true when it ran them all without an error. The
// child starts with no blocked signals, whatever camsim's own mask is.
bool RunIpBatch(const std::string &commands, std::string &problem)
{
    int input[2];
    if (::pipe2(input, O_CLOEXEC) != 0) {
        problem = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t piped;
    sigemptyset(&piped);
    sigaddset(&piped, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &piped);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    char *argv[] = {const_cast<char *>("ip"), const_cast<char *>("-batch"), const_cast<char *>("-"), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, "ip", &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(input[0]);
    if (spawned != 0) {
        ::close(input[1]);
        problem = std::string("cannot run ip: ") + std::strerror(spawned);
        return false;
    }
    const bool written = WriteAll(input[1], commands);
    ::close(input[1]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!written || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        problem = "ip -batch failed (see its message above)";
        return false;
    }
    return true;
}

} // namespace

bool EnsureAddresses(const std::string &interfaceName, const std::vector<std::string> &addresses, int prefixLength,
                     std::string &problem)
{
    if (::if_nametoindex(interfaceName.c_str()) == 0) {
        problem = "no interface " + interfaceName;
        return false;
    }
    const std::set<std::string> present = AddressesOn(interfaceName);
    std::set<std::string> queued;
    std::string commands;
    for (const std::string &address : addresses)
        if (!present.contains(address) && queued.insert(address).second)
            commands += "address add " + address + "/" + std::to_string(prefixLength) + " dev " + interfaceName + "\n";
    return commands.empty() || RunIpBatch(commands, problem);
}
