#pragma once
// Process-wide discovery state shared by the window thread and the search worker.

#include <atomic>
#include <string>

// Set while a search sweep runs; replies are taken only then.
extern std::atomic<bool> g_bSearching;
// MAC of the camera whose set-configuration result is awaited.
extern std::string g_strPendingMAC;
