#include "tools/camsim/Interface.h"

#include <cstdio>
#include <sys/wait.h>

bool AddAddresses(const std::string &interfaceName, const std::vector<std::string> &addresses, int prefixLength)
{
    if (interfaceName.empty() || addresses.empty())
        return true;
    // -force goes on past "File exists" for an address that is already there.
    std::FILE *ip = ::popen("ip -force -batch - 2>/dev/null", "w");
    if (!ip)
        return false;
    for (const std::string &address : addresses)
        std::fprintf(ip, "address add %s/%d dev %s\n", address.c_str(), prefixLength, interfaceName.c_str());
    const int status = ::pclose(ip);
    return status != -1 && WIFEXITED(status);
}
