// What the registry writer is on every platform: the key table, the values' data and the
// writes of single values. Where the key lives is the platform's (VantoRegistryFileHive.cpp
// on Linux, VantoRegistryWindows.cpp on Windows).
#include "vms/VantoRegistry.h"

#include <string>
#include <utility>

namespace {

constexpr const char *kVmsKey = "SOFTWARE\\Brenmark\\Halvex DVR\\";
constexpr unsigned kLastChannelKey = 264;

std::string LittleEndian(std::uint32_t value)
{
    std::string bytes;
    for (int shift = 0; shift < 32; shift += 8)
        bytes += static_cast<char>(value >> shift & 0xFF);
    return bytes;
}

} // namespace

std::string RegistryKeyPath(unsigned index)
{
    const std::string vmsKey = kVmsKey;
    if (index == 0)
        return vmsKey;
    if (index <= kLastChannelKey)
        return vmsKey + "Channel" + std::to_string(index) + "\\";
    if (index == REG_KEY_TEMP_SETTINGS)
        return vmsKey + "PELMTempSettings\\";
    return {};
}

const char *RegistryHiveName(RegistryHive hive)
{
    switch (hive) {
    case RegistryHive::LocalMachine:
        return "HKEY_LOCAL_MACHINE";
    }
    return nullptr;
}

RegistryValue RegistryValue::Dword(std::string name, std::uint32_t value)
{
    return {std::move(name), RegistryType::Dword, LittleEndian(value)};
}

RegistryValue RegistryValue::String(std::string name, const std::string &text, bool raw)
{
    return raw ? RegistryValue{std::move(name), RegistryType::Binary, text}
               : RegistryValue{std::move(name), RegistryType::Text, text + '\0'};
}

CVantoRegistry::CVantoRegistry(unsigned keyIndex, RegistryAccess access, RegistryHive hive)
    : CVantoRegistry(RegistryRoot(), keyIndex, access, hive)
{
}

bool CVantoRegistry::IsOpen() const
{
    return m_key != nullptr;
}

long CVantoRegistry::WriteDword(const std::string &name, std::uint32_t value)
{
    return WriteValues({RegistryValue::Dword(name, value)});
}

long CVantoRegistry::WriteString(const std::string &name, const std::string &text, bool raw)
{
    return WriteValues({RegistryValue::String(name, text, raw)});
}

long CVantoRegistry::Fail(long error, std::string problem)
{
    m_problem = std::move(problem);
    return error;
}
