#pragma once
// One run's hold on the site's network: the adapter the broadcasts leave from, the
// discovery session, the cameras the last sweep listed, and commands with their results.

#include "cli/Progress.h"
#include "addressing/AddressBatch.h"
#include "inventory/DeviceCollection.h"
#include "discovery/DiscoverySession.h"
#include "discovery/SettingsSender.h"
#include "platform/Adapters.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The adapter a name or address picks, or the first, as the window's selector has it.
// Nothing when there is no such adapter.
std::optional<AdapterEntry> ChooseAdapter(const std::vector<AdapterEntry> &adapters,
                                          const std::optional<std::string> &nameOrAddress);

class CSite final {
public:
    CSite() = default;
    CSite(const CSite &) = delete;
    CSite &operator=(const CSite &) = delete;

    // Opens the sockets on the chosen adapter; an exit status, with the reason on
    // standard error, when it cannot.
    int Open(const std::optional<std::string> &adapterChoice);

    // One sweep; the cameras that answered it, first to answer first. Replies left out
    // because the list was full are counted and told on standard error.
    const std::vector<Camera> &Sweep();
    // Replies the last sweep left out at the list's ceiling.
    std::uint64_t DroppedReplies() const { return m_nDroppedReplies; }
    const std::vector<Camera> &Cameras() const { return m_listing.Devices(); }
    // The camera of that MAC (in any of its spellings) in the last sweep.
    std::optional<Camera> FindCamera(const std::string &mac) const;

    // Sends each camera its change, keeping at most concurrency of them waiting for
    // their results, each at most timeout; returns once each is answered or given up.
    CSettingsSender SendChanges(std::vector<SettingsOrder> orders, std::size_t concurrency,
                                std::chrono::milliseconds timeout);
    // Reboot or factory reset for each camera in turn; the cameras it did not leave for.
    std::vector<UnsentCommand> SendToEach(std::int32_t type, const std::vector<Camera> &cameras,
                                          const CommandLogin &login);

private:
    CProgress m_progress;
    CDeviceCollection m_listing;
    CDiscoverySession m_session{m_listing};
    std::uint64_t m_nDroppedReplies = 0;
};
