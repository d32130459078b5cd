#include "platform/TemporaryName.h"

#include <random>

namespace {

constexpr std::string_view kHexDigits = "0123456789abcdef";
constexpr std::size_t kSuffixLength = 12;

// Appended piece by piece: GCC 12 at -O3 warns wrongly (-Wrestrict) about a chained +.
std::string Prefix(std::string_view name)
{
    std::string prefix = ".";
    prefix += name;
    prefix += '.';
    return prefix;
}

} // namespace

std::string TemporaryNameFor(std::string_view name)
{
    std::random_device random;
    std::string temp = Prefix(name);
    for (std::size_t i = 0; i < kSuffixLength; ++i)
        temp += kHexDigits[random() % kHexDigits.size()];
    return temp;
}

bool IsTemporaryNameFor(std::string_view candidate, std::string_view name)
{
    const std::string prefix = Prefix(name);
    if (!candidate.starts_with(prefix))
        return false;
    candidate.remove_prefix(prefix.size());
    return candidate.size() == kSuffixLength && candidate.find_first_not_of(kHexDigits) == std::string_view::npos;
}
