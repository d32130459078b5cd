// The parser of a camera's video page, and the query parameter that writes a field of
// each channel it read. The first 2 bytes (little-endian) select the fields; the rest
// is the page.

#include "camapi/VideoConfig.h"
#include "fuzz/FuzzCheck.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool IsQueryByte(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           std::string_view("-._~%").find(c) != std::string_view::npos;
}

// One "&name=value" pair whose value cannot end it early or start another.
void CheckParameter(const std::string &parameter)
{
    if (parameter.empty())
        return;
    const std::size_t equals = parameter.find('=');
    FUZZ_CHECK(parameter[0] == '&' && equals != std::string::npos);
    FUZZ_CHECK(std::all_of(parameter.begin() + 1, parameter.begin() + std::ptrdiff_t(equals), IsQueryByte));
    FUZZ_CHECK(std::all_of(parameter.begin() + std::ptrdiff_t(equals) + 1, parameter.end(), IsQueryByte));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::int32_t fields = std::int32_t(data[0] | data[1] << 8);
    const std::string_view page(reinterpret_cast<const char *>(data + 2), size - 2);
    VIDEO_CONFIG records[VIDEO_CONFIG_MAX_RECORDS] = {};
    const int count = ParseVideoConfig(page, records);
    FUZZ_CHECK(count >= 0 && count <= VIDEO_CONFIG_MAX_RECORDS);
    for (int i = 0; i < count; ++i)
        CheckParameter(VideoSetParameter(records[i], fields));
    return 0;
}
