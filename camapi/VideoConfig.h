#pragma once
// One video channel's settings as a camera's basic.cgi page lists them, and the
// parser of that page: key=value lines, CR LF line ends, a blank line after each
// channel. Pure functions over text, so every rule can be tried without a camera.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

//  0 channel_no  4 codec  8 codec_name[20]  28 resolution_width  32 resolution_height
// 36 framerate  40 bitratemode  44 quality  48 h264_profile  52 lbr_mode
// 56 h264_extension_option  60 gopsize  64 rtp_mcast_enable  68 rtp_mcast_ttl
// 72 rtsp_timeout  76 dscp
struct VIDEO_CONFIG {
    std::int32_t channel_no;
    std::int32_t codec;
    char codec_name[20];
    std::int32_t resolution_width;
    std::int32_t resolution_height;
    std::int32_t framerate;
    std::int32_t bitratemode;
    std::int32_t quality;
    std::int32_t h264_profile;
    std::int32_t lbr_mode;
    std::int32_t h264_extension_option;
    std::int32_t gopsize;
    std::int32_t rtp_mcast_enable;
    std::int32_t rtp_mcast_ttl;
    std::int32_t rtsp_timeout;
    std::int32_t dscp;
};

static_assert(sizeof(VIDEO_CONFIG) == 80);
static_assert(offsetof(VIDEO_CONFIG, channel_no) == 0);
static_assert(offsetof(VIDEO_CONFIG, codec) == 4);
static_assert(offsetof(VIDEO_CONFIG, codec_name) == 8);
static_assert(offsetof(VIDEO_CONFIG, resolution_width) == 28);
static_assert(offsetof(VIDEO_CONFIG, resolution_height) == 32);
static_assert(offsetof(VIDEO_CONFIG, framerate) == 36);
static_assert(offsetof(VIDEO_CONFIG, bitratemode) == 40);
static_assert(offsetof(VIDEO_CONFIG, quality) == 44);
static_assert(offsetof(VIDEO_CONFIG, h264_profile) == 48);
static_assert(offsetof(VIDEO_CONFIG, lbr_mode) == 52);
static_assert(offsetof(VIDEO_CONFIG, h264_extension_option) == 56);
static_assert(offsetof(VIDEO_CONFIG, gopsize) == 60);
static_assert(offsetof(VIDEO_CONFIG, rtp_mcast_enable) == 64);
static_assert(offsetof(VIDEO_CONFIG, rtp_mcast_ttl) == 68);
static_assert(offsetof(VIDEO_CONFIG, rtsp_timeout) == 72);
static_assert(offsetof(VIDEO_CONFIG, dscp) == 76);

// Which field SetVideoConfig writes: field k of the record is bit 2^k (the two
// resolution numbers share bit 3). The channel number is always part of the address.
enum : std::int32_t {
    VIDEO_SET_CHANNEL_NO = 0x1,
    VIDEO_SET_CODEC = 0x2,
    VIDEO_SET_CODEC_NAME = 0x4,
    VIDEO_SET_RESOLUTION = 0x8,
    VIDEO_SET_FRAMERATE = 0x10,
    VIDEO_SET_BITRATEMODE = 0x20,
    VIDEO_SET_QUALITY = 0x40,
    VIDEO_SET_H264_PROFILE = 0x80,
    VIDEO_SET_LBR_MODE = 0x100,
    VIDEO_SET_H264_EXTENSION_OPTION = 0x200,
    VIDEO_SET_GOPSIZE = 0x400,
    VIDEO_SET_RTP_MCAST_ENABLE = 0x800,
    VIDEO_SET_RTP_MCAST_TTL = 0x1000,
    VIDEO_SET_RTSP_TIMEOUT = 0x2000,
    VIDEO_SET_DSCP = 0x4000,
};

// The most channels one reading returns.
inline constexpr int VIDEO_CONFIG_MAX_RECORDS = 16;

// Fills records from a view page and returns the number of channels counted: a
// channel counts once the blank line after it is read, at most 16; a line of 100 or
// more characters ends the page. Keys and values longer than 49 characters, and
// names longer than 19, are cut (a cut key matches nothing). Records are not cleared
// first: a field the page does not mention keeps what it held.
int ParseVideoConfig(std::string_view text, VIDEO_CONFIG (&records)[VIDEO_CONFIG_MAX_RECORDS]);

// The query parameter that writes the first selected field, "&codec=1" for example,
// or nothing when no field is selected. Texts come percent-encoded.
std::string VideoSetParameter(const VIDEO_CONFIG &record, std::int32_t fields);
