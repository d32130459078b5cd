// Writes one text value into a key of the default store (the hand-over key unless
// --key names another index), with the writer the program hands cameras over with: the
// installed-package check runs it as users in and out of the store's group. Prints the
// writer's reason and exits 1 when the value was not written.
#include "vms/VantoRegistry.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    unsigned key = REG_KEY_TEMP_SETTINGS;
    if (argc == 5 && std::strcmp(argv[1], "--key") == 0) {
        key = unsigned(std::strtoul(argv[2], nullptr, 10));
        argv += 2;
        argc -= 2;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: store_writer [--key INDEX] NAME TEXT\n");
        return 2;
    }
    CVantoRegistry registry(key);
    if (registry.WriteString(argv[1], argv[2], false) != REGISTRY_SUCCESS) {
        std::fprintf(stderr, "store_writer: %s\n", registry.LastProblem().c_str());
        return 1;
    }
    return 0;
}
