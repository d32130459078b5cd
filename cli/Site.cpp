#include "cli/Site.h"

#include "cli/ExitStatus.h"
#include "addressing/AddressPlan.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

std::optional<AdapterEntry> ChooseAdapter(const std::vector<AdapterEntry> &adapters,
                                          const std::optional<std::string> &nameOrAddress)
{
    if (!nameOrAddress)
        return adapters.empty() ? std::nullopt : std::optional<AdapterEntry>(adapters.front());
    const auto found = std::find_if(adapters.begin(), adapters.end(), [&](const AdapterEntry &adapter) {
        return adapter.name == *nameOrAddress || adapter.address == *nameOrAddress;
    });
    return found == adapters.end() ? std::nullopt : std::optional<AdapterEntry>(*found);
}

int CSite::Open(const std::optional<std::string> &adapterChoice)
{
    const std::optional<AdapterEntry> adapter = ChooseAdapter(SystemAdapters(), adapterChoice);
    if (!adapter) {
        if (adapterChoice)
            std::fprintf(stderr, "lanscout-cli: no adapter named or addressed '%s' (see: lanscout-cli adapters)\n",
                         adapterChoice->c_str());
        else
            std::fputs("lanscout-cli: this computer has no network adapter with an IPv4 address\n", stderr);
        return kExitUnknownAdapter;
    }
    const SocketFailures failures = m_session.Open();
    if (failures.receiveError == EADDRINUSE) {
        std::fputs("lanscout-cli: another copy is running: UDP port 40014, where the cameras reply, is taken "
                   "(close Lanscout first)\n",
                   stderr);
        return kExitAnotherCopy;
    }
    if (failures.Any()) {
        const int error = failures.receiveError ? failures.receiveError : failures.sendError;
        std::fprintf(stderr, "lanscout-cli: cannot open the discovery sockets: %s\n",
                     CDatagramSocket::ErrorText(error).c_str());
        return kExitNetworkError;
    }
    if (const int error = m_session.OpenSendSocket(adapter->address)) {
        std::fprintf(stderr, "lanscout-cli: cannot send from %s (%s): %s\n", adapter->address.c_str(),
                     adapter->name.c_str(), CDatagramSocket::ErrorText(error).c_str());
        return kExitNetworkError;
    }
    return kExitOk;
}

const std::vector<Camera> &CSite::Sweep()
{
    m_listing.Clear();
    m_session.BeginSweep();
    m_session.RunSweep([this](int sent) {
        m_progress.Show("searching: " + std::to_string(sent) + " s of " +
                        std::to_string(CDiscoverySession::kSearchSends) + ", " +
                        std::to_string(m_listing.ListedDeviceCount()) + " cameras so far");
    });
    // The replies wait in the socket's queue, stamped with when they came: those of
    // the sweep count whenever they are read.
    while (m_session.WaitForDatagram(std::chrono::milliseconds(0)))
        m_session.HandleDatagram();
    m_progress.Finish();
    m_nDroppedReplies = m_session.TakeDroppedReplies();
    if (m_nDroppedReplies > 0)
        std::fprintf(stderr, "lanscout-cli: the list is full at %u cameras: %llu more replies were left out\n",
                     unsigned(CDiscoverySession::kMaxListedDevices),
                     static_cast<unsigned long long>(m_nDroppedReplies));
    return m_listing.Devices();
}

std::optional<Camera> CSite::FindCamera(const std::string &mac) const
{
    const Camera *camera = CCamerasByMac(m_listing.Devices()).Find(mac);
    return camera ? std::optional(*camera) : std::nullopt;
}

CSettingsSender CSite::SendChanges(std::vector<SettingsOrder> orders, std::size_t concurrency,
                                   std::chrono::milliseconds timeout)
{
    CSettingsSender sender(m_session, std::move(orders), concurrency, timeout);
    std::size_t settled = 0;
    // A settled command makes room for the next, which Advance sends.
    const std::function<bool()> settledMore = [&] {
        sender.Advance();
        const bool more = sender.Settled() > settled;
        settled = sender.Settled();
        return more;
    };
    for (sender.Advance(); !sender.Finished(); sender.Advance()) {
        const auto left = *sender.NextDeadline() - CSettingsSender::Clock::now();
        m_session.HandleDatagramsUntil(settledMore, std::max(std::chrono::duration_cast<std::chrono::milliseconds>(left),
                                                             std::chrono::milliseconds(0)));
        m_progress.Show("commands: " + std::to_string(sender.Settled()) + " of " + std::to_string(sender.Count()) +
                        " answered or given up");
    }
    m_progress.Finish();
    return sender;
}

std::vector<UnsentCommand> CSite::SendToEach(std::int32_t type, const std::vector<Camera> &cameras,
                                             const CommandLogin &login)
{
    return m_session.SendToEach(type, cameras, login);
}
