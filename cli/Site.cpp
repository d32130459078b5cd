#include "cli/Site.h"

#include "cli/ExitStatus.h"
#include "cli/Plan.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

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

const std::vector<DISCOVERY_DATA> &CSite::Sweep()
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

std::optional<DISCOVERY_DATA> CSite::FindCamera(const std::string &mac) const
{
    const std::optional<std::string> wanted = NormalizedMac(mac);
    for (const DISCOVERY_DATA &camera : m_listing.Devices())
        if (wanted && NormalizedMac(SlotText(camera.szMAC)) == wanted)
            return camera;
    return std::nullopt;
}

std::vector<std::optional<std::int32_t>> CSite::SendSettings(const std::vector<DISCOVERY_DATA> &commands,
                                                             std::size_t concurrency,
                                                             std::chrono::milliseconds timeout)
{
    using Clock = std::chrono::steady_clock;
    struct Waiting {
        std::size_t index;
        std::string mac;
        Clock::time_point deadline;
    };
    std::vector<std::optional<std::int32_t>> results(commands.size());
    std::vector<Waiting> waiting;
    std::size_t next = 0;
    std::size_t settled = 0;
    // Takes the results that came; true when one did, so the next command can go.
    const auto takeResults = [&] {
        const std::size_t before = waiting.size();
        std::erase_if(waiting, [&](const Waiting &command) {
            results[command.index] = m_session.TakeSetConfigResult(command.mac);
            return results[command.index].has_value();
        });
        settled += before - waiting.size();
        return waiting.size() < before;
    };
    while (next < commands.size() || !waiting.empty()) {
        for (; next < commands.size() && waiting.size() < std::max<std::size_t>(concurrency, 1); ++next) {
            if (m_session.SendSetConfig(commands[next]))
                waiting.push_back({next, SlotText(commands[next].szMAC), Clock::now() + timeout});
            else
                ++settled; // never left: no answer can come
        }
        const auto earliest = std::min_element(waiting.begin(), waiting.end(), [](const Waiting &a, const Waiting &b) {
            return a.deadline < b.deadline;
        });
        if (earliest != waiting.end()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(earliest->deadline - Clock::now());
            m_session.HandleDatagramsUntil(takeResults, std::max(left, std::chrono::milliseconds(0)));
            const auto now = Clock::now();
            settled += std::size_t(std::erase_if(waiting, [&](const Waiting &command) { return command.deadline <= now; }));
        }
        m_progress.Show("commands: " + std::to_string(settled) + " of " + std::to_string(commands.size()) +
                        " answered or given up");
    }
    m_progress.Finish();
    return results;
}

std::vector<UnsentCommand> CSite::SendToEach(std::int32_t type, const std::vector<DISCOVERY_DATA> &cameras,
                                             const CommandLogin &login)
{
    return m_session.SendToEach(type, cameras, login);
}
