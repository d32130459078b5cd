// Writes one text value into the hand-over key of the default store, with the writer the
// program hands cameras over with: the installed-package check runs it as users in and
// out of the store's group. Prints what failed and exits 1 when the value was not written.
#include "vms/VantoRegistry.h"

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: store_writer NAME TEXT\n");
        return 2;
    }
    CVantoRegistry key(REG_KEY_TEMP_SETTINGS);
    if (!key.IsOpen()) {
        std::fprintf(stderr, "store_writer: cannot open the key under %s\n", RegistryRoot().c_str());
        return 1;
    }
    if (const long error = key.WriteString(argv[1], argv[2], false); error != ERROR_SUCCESS) {
        std::fprintf(stderr, "store_writer: writing %s failed: %s\n", argv[1], std::strerror(int(error)));
        return 1;
    }
    return 0;
}
