#include "camapi/VideoConfig.h"

#include "camapi/QueryText.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

constexpr std::size_t kLineLimit = 100;  // a line this long or longer ends the page
constexpr std::size_t kKeyValueChars = 49; // what the key and value buffers hold

bool IsKeyChar(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '\t' || c == '_' ||
           c == ' ';
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// "key=value": the key is a run of letters, digits, tabs, underscores and spaces
// right before '='; the value the first word after it. False when either is missing
// or the key is too long for its buffer.
bool SplitKeyValue(std::string_view line, std::string_view &key, std::string_view &value)
{
    const std::size_t keyEnd = std::find_if_not(line.begin(), line.end(), IsKeyChar) - line.begin();
    if (keyEnd == 0 || keyEnd > kKeyValueChars || keyEnd == line.size() || line[keyEnd] != '=')
        return false;
    std::size_t begin = keyEnd + 1;
    while (begin < line.size() && IsSpace(line[begin]))
        ++begin;
    std::size_t end = begin;
    while (end < line.size() && !IsSpace(line[end]) && end - begin < kKeyValueChars)
        ++end;
    if (end == begin)
        return false;
    key = line.substr(0, keyEnd);
    value = line.substr(begin, end - begin);
    return true;
}

// A leading decimal number as atoi reads it, held at the 32-bit range's ends.
std::int32_t LeadingNumber(std::string_view text, std::size_t &used)
{
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        ++i;
    const std::size_t digitsBegin = i;
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        magnitude = std::min<std::int64_t>(magnitude * 10 + (text[i] - '0'), std::int64_t(1) << 32);
    used = i == digitsBegin ? 0 : i;
    const std::int64_t value = negative ? -magnitude : magnitude;
    return std::int32_t(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                  std::numeric_limits<std::int32_t>::max()));
}

std::int32_t Atoi(std::string_view text)
{
    std::size_t used = 0;
    return LeadingNumber(text, used);
}

// "%dx%d": the height is read only when an 'x' and a number follow the width.
void StoreResolution(VIDEO_CONFIG &record, std::string_view value)
{
    std::size_t used = 0;
    const std::int32_t width = LeadingNumber(value, used);
    if (used == 0)
        return;
    record.resolution_width = width;
    if (used >= value.size() || value[used] != 'x')
        return;
    const std::string_view rest = value.substr(used + 1);
    const std::int32_t height = LeadingNumber(rest, used);
    if (used != 0)
        record.resolution_height = height;
}

void StoreCodecName(VIDEO_CONFIG &record, std::string_view value)
{
    const std::size_t n = std::min(value.size(), sizeof record.codec_name - 1);
    std::memcpy(record.codec_name, value.data(), n);
    record.codec_name[n] = '\0';
}

struct NumberKey {
    const char *name;
    std::int32_t VIDEO_CONFIG::*field;
    std::int32_t selectionBit;
};

const NumberKey kNumberKeys[] = {
    {"channel_no", &VIDEO_CONFIG::channel_no, VIDEO_SET_CHANNEL_NO},
    {"codec", &VIDEO_CONFIG::codec, VIDEO_SET_CODEC},
    {"framerate", &VIDEO_CONFIG::framerate, VIDEO_SET_FRAMERATE},
    {"bitratemode", &VIDEO_CONFIG::bitratemode, VIDEO_SET_BITRATEMODE},
    {"quality", &VIDEO_CONFIG::quality, VIDEO_SET_QUALITY},
    {"h264_profile", &VIDEO_CONFIG::h264_profile, VIDEO_SET_H264_PROFILE},
    {"lbr_mode", &VIDEO_CONFIG::lbr_mode, VIDEO_SET_LBR_MODE},
    {"h264_extension_option", &VIDEO_CONFIG::h264_extension_option, VIDEO_SET_H264_EXTENSION_OPTION},
    {"gopsize", &VIDEO_CONFIG::gopsize, VIDEO_SET_GOPSIZE},
    {"rtp_mcast_enable", &VIDEO_CONFIG::rtp_mcast_enable, VIDEO_SET_RTP_MCAST_ENABLE},
    {"rtp_mcast_ttl", &VIDEO_CONFIG::rtp_mcast_ttl, VIDEO_SET_RTP_MCAST_TTL},
    {"rtsp_timeout", &VIDEO_CONFIG::rtsp_timeout, VIDEO_SET_RTSP_TIMEOUT},
    {"dscp", &VIDEO_CONFIG::dscp, VIDEO_SET_DSCP},
};

void StoreValue(VIDEO_CONFIG &record, std::string_view key, std::string_view value)
{
    if (key == "codec_name") {
        StoreCodecName(record, value);
        return;
    }
    if (key == "resolution") {
        StoreResolution(record, value);
        return;
    }
    for (const NumberKey &k : kNumberKeys)
        if (key == k.name) {
            record.*k.field = Atoi(value);
            return;
        }
}

std::string NumberParameter(const char *name, std::int32_t value)
{
    return std::string("&") + name + "=" + std::to_string(value);
}

} // namespace

int ParseVideoConfig(std::string_view text, VIDEO_CONFIG (&records)[VIDEO_CONFIG_MAX_RECORDS])
{
    int count = 0;
    while (!text.empty()) {
        const std::size_t lineFeed = text.find('\n');
        const std::string_view line = text.substr(0, lineFeed);
        text = lineFeed == std::string_view::npos ? std::string_view() : text.substr(lineFeed + 1);
        if (line.size() >= kLineLimit)
            break;
        if (!line.empty() && line[0] == '\r') {
            if (++count >= VIDEO_CONFIG_MAX_RECORDS)
                break;
            continue;
        }
        std::string_view key, value;
        if (SplitKeyValue(line, key, value))
            StoreValue(records[count], key, value);
    }
    return count;
}

std::string VideoSetParameter(const VIDEO_CONFIG &record, std::int32_t fields)
{
    for (std::int32_t bit = VIDEO_SET_CODEC; bit <= VIDEO_SET_DSCP; bit <<= 1) {
        if (!(fields & bit))
            continue;
        if (bit == VIDEO_SET_CODEC_NAME) {
            const char *end = std::find(record.codec_name, record.codec_name + sizeof record.codec_name, '\0');
            return "&codec_name=" + PercentEncode(std::string_view(record.codec_name, end));
        }
        if (bit == VIDEO_SET_RESOLUTION)
            return "&resolution=" + std::to_string(record.resolution_width) + "x" +
                   std::to_string(record.resolution_height);
        for (const NumberKey &k : kNumberKeys)
            if (k.selectionBit == bit)
                return NumberParameter(k.name, record.*k.field);
    }
    return {};
}
