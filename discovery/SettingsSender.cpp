#include "discovery/SettingsSender.h"

#include "discovery/DiscoverySession.h"
#include "discovery/RecordCamera.h"

#include <algorithm>

CSettingsSender::CSettingsSender(ISetConfigChannel &channel, std::vector<SettingsOrder> orders,
                                 std::size_t concurrency, std::chrono::milliseconds timeout)
    : m_channel(channel), m_nConcurrency(std::max<std::size_t>(concurrency, 1)), m_timeout(timeout),
      m_results(orders.size()), m_sent(orders.size(), false)
{
    m_commands.reserve(orders.size());
    for (const SettingsOrder &order : orders) {
        const DISCOVERY_DATA *stored = RecordOf(order.camera);
        m_commands.push_back(stored ? std::optional(MakeChangeCommand(*stored, order.change, order.login))
                                    : std::nullopt);
    }
}

void CSettingsSender::Advance(Clock::time_point now)
{
    TakeResults();
    GiveUpOverdue(now);
    SendWhileRoom(now);
}

bool CSettingsSender::Finished() const
{
    return m_waiting.empty() && (m_bCancelled || m_nNext == m_commands.size());
}

std::optional<CSettingsSender::Clock::time_point> CSettingsSender::NextDeadline() const
{
    const auto earliest = std::min_element(m_waiting.begin(), m_waiting.end(),
                                           [](const Waiting &a, const Waiting &b) { return a.deadline < b.deadline; });
    return earliest == m_waiting.end() ? std::nullopt : std::optional(earliest->deadline);
}

void CSettingsSender::TakeResults()
{
    m_nSettled += std::size_t(std::erase_if(m_waiting, [&](const Waiting &command) {
        m_results[command.index] = m_channel.TakeSetConfigResult(command.mac);
        return m_results[command.index].has_value();
    }));
}

bool CSettingsSender::Awaits(const std::string &mac) const
{
    return std::any_of(m_waiting.begin(), m_waiting.end(), [&](const Waiting &command) { return command.mac == mac; });
}

void CSettingsSender::GiveUpOverdue(Clock::time_point now)
{
    m_nSettled += std::size_t(std::erase_if(m_waiting, [&](const Waiting &command) {
        if (command.deadline > now)
            return false;
        m_channel.ForgetSetConfigResult(command.mac);
        return true;
    }));
}

void CSettingsSender::SendWhileRoom(Clock::time_point now)
{
    for (; !m_bCancelled && m_nNext < m_commands.size() && m_waiting.size() < m_nConcurrency; ++m_nNext) {
        const std::optional<DISCOVERY_DATA> &command = m_commands[m_nNext];
        m_sent[m_nNext] = command && m_channel.SendSetConfig(*command);
        if (m_sent[m_nNext])
            m_waiting.push_back({m_nNext, SlotText(command->szMAC), now + m_timeout});
        else
            ++m_nSettled; // never left: no answer can come
    }
}
