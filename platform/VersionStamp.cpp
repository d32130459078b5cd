// The product version, kept in its own section so the title can read it from the file.
#include "platform/FileVersion.h"

[[gnu::used, gnu::section(".lanscout_version")]] const char kProductVersion[] = LANSCOUT_PRODUCT_VERSION;
