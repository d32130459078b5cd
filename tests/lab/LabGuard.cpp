// Every test and benchmark program that opens the discovery ports broadcasts onto the
// network of wherever it runs. Linked into each of them, this stops the program before
// main, and so before its first send, unless it runs in the tool namespace that
// tests/lab/lab.sh made for it: one started by hand would otherwise search and send
// commands on the machine's real network.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The network namespace a process is in, as its /proc link names it; empty when it
// cannot be read (another user's process).
std::string NetworkNamespaceOf(const char *process)
{
    char link[128];
    const ssize_t length = readlink((std::string("/proc/") + process + "/ns/net").c_str(), link, sizeof link);
    return length > 0 ? std::string(link, std::size_t(length)) : std::string();
}

bool InTheLab()
{
    const char *lab = std::getenv("LANSCOUT_LAB_NETNS");
    const std::string here = NetworkNamespaceOf("self");
    return lab != nullptr && !here.empty() && here == lab && here != NetworkNamespaceOf("1");
}

[[maybe_unused]] const bool kInTheLab = [] {
    if (!InTheLab()) {
        std::fputs("This program sends discovery broadcasts: run it inside a lab, through tests/lab/lab.sh "
                   "(or ctest), never on the machine's own network.\n",
                   stderr);
        std::_Exit(2);
    }
    return true;
}();

} // namespace
