#include "tools/camsim/CgiPages.h"

#include "discovery/DiscoveryData.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string_view>

namespace {

constexpr std::string_view kBasicPath = "/cgi-bin/admin/basic.cgi";
constexpr std::string_view kSystemPath = "/cgi-bin/admin/system.cgi";

PageAnswer OkPage()
{
    return {200, "ok\r\n"};
}

// The value of a key the query gives exactly once; nullptr when it is missing or repeated.
const std::string *SingleValue(const Query &query, std::string_view key)
{
    const std::string *found = nullptr;
    for (const QueryItem &item : query) {
        if (item.key != key)
            continue;
        if (found)
            return nullptr;
        found = &item.value;
    }
    return found;
}

bool HasKey(const Query &query, std::string_view key)
{
    return std::any_of(query.begin(), query.end(), [&](const QueryItem &item) { return item.key == key; });
}

bool HasOnlyKeys(const Query &query, std::initializer_list<std::string_view> keys)
{
    return std::all_of(query.begin(), query.end(), [&](const QueryItem &item) {
        return std::find(keys.begin(), keys.end(), item.key) != keys.end();
    });
}

bool Is(const std::string *value, std::string_view expected)
{
    return value && *value == expected;
}

// The channel a channel_no text names, when the camera has it.
std::optional<std::size_t> ChannelOf(const SimCamera &camera, const std::string *text)
{
    const auto number = text ? ParseCount(*text) : std::nullopt;
    if (!number || std::size_t(*number) >= camera.channels.size())
        return std::nullopt;
    return std::size_t(*number);
}

std::string VideoBlock(std::size_t number, const VideoChannel &channel)
{
    std::string block = "channel_no=" + std::to_string(number) + "\r\n";
    for (const auto &[key, value] : ChannelSettings(channel))
        block += key + "=" + value + "\r\n";
    return block + "\r\n";
}

PageAnswer ViewVideo(const SimCamera &camera, const Query &query)
{
    if (!HasOnlyKeys(query, {"msubmenu", "action", "channel_no"}))
        return RefusalPage();
    if (HasKey(query, "channel_no")) {
        const auto channel = ChannelOf(camera, SingleValue(query, "channel_no"));
        return channel ? PageAnswer{200, VideoBlock(*channel, camera.channels[*channel])} : RefusalPage();
    }
    std::string body;
    for (std::size_t i = 0; i < camera.channels.size(); ++i)
        body += VideoBlock(i, camera.channels[i]);
    return {200, body};
}

// The arguments of an apply that name settings, as " key=value" words for the log.
std::string SettingsForLog(const Query &settings)
{
    std::string text;
    for (const QueryItem &item : settings)
        text += " " + Printable(item.key) + "=" + Printable(item.value);
    return text;
}

// Takes a valid setting; one that changes the codec only seems to when the camera keepsCodec.
bool ApplySetting(VideoChannel &channel, const QueryItem &setting, bool keepsCodec)
{
    VideoChannel changed = channel;
    if (!ApplyChannelSetting(changed, setting.key, setting.value))
        return false;
    if (!keepsCodec || changed.codec == channel.codec)
        channel = changed;
    return true;
}

// Exactly one setting per request, for a channel that exists and is not locked.
PageAnswer ApplyVideo(SimCamera &camera, const Query &query, bool keepsCodec, Log &log)
{
    const std::string *channelText = SingleValue(query, "channel_no");
    Query settings;
    std::copy_if(query.begin(), query.end(), std::back_inserter(settings), [](const QueryItem &item) {
        return item.key != "msubmenu" && item.key != "action" && item.key != "channel_no";
    });
    const auto channel = ChannelOf(camera, channelText);
    const bool applied = channel && settings.size() == 1 && !camera.lockedChannels.contains(*channel) &&
                         ApplySetting(camera.channels[*channel], settings[0], keepsCodec);
    log.Line("apply mac=%s channel=%s%s result=%s", camera.mac.c_str(),
             channelText ? Printable(*channelText).c_str() : "-", SettingsForLog(settings).c_str(),
             applied ? "ok" : "ng");
    return applied ? OkPage() : RefusalPage();
}

// Any bytes but NUL, which would end the password early for both kinds of digest.
bool IsValidPassword(const std::string &password)
{
    return !password.empty() && password.size() <= CREDENTIAL_MAX_CHARS && password.find('\0') == std::string::npos;
}

PageAnswer ModifyUser(SimCamera &camera, const Query &query, Log &log)
{
    const std::string *id = SingleValue(query, "id");
    const std::string *password = SingleValue(query, "pass");
    const bool valid = HasOnlyKeys(query, {"msubmenu", "action", "index", "id", "pass"}) &&
                       Is(SingleValue(query, "index"), "0") && Is(id, camera.login.user) && password &&
                       IsValidPassword(*password);
    if (!valid)
        return RefusalPage();
    camera.login.password = *password;
    log.Line("password mac=%s user=%s", camera.mac.c_str(), Printable(camera.login.user).c_str());
    return OkPage();
}

} // namespace

PageAnswer NotFoundPage()
{
    return {404, "<html><head><title>404 Not Found</title></head><body><h1>404 Not Found</h1></body></html>"};
}

PageAnswer RefusalPage()
{
    return {200, "ng\r\n"};
}

PageAnswer AnswerPage(SimCamera &camera, const std::string &path, const Query &query, bool keepsCodec, Log &log)
{
    const std::string *submenu = SingleValue(query, "msubmenu");
    const std::string *action = SingleValue(query, "action");
    if (path == kBasicPath && Is(submenu, "video") && Is(action, "view"))
        return ViewVideo(camera, query);
    if (path == kBasicPath && Is(submenu, "video") && Is(action, "apply"))
        return ApplyVideo(camera, query, keepsCodec, log);
    if (path == kSystemPath && Is(submenu, "users") && Is(action, "modify"))
        return ModifyUser(camera, query, log);
    return NotFoundPage();
}

std::string PageName(const std::string &path)
{
    if (path == kBasicPath)
        return "basic.cgi";
    if (path == kSystemPath)
        return "system.cgi";
    return Printable(path);
}

std::string QueryForLog(const Query &query)
{
    std::string text;
    for (const QueryItem &item : query) {
        text += text.empty() ? "" : "&";
        text += Printable(item.key) + "=" + (item.key == "pass" ? "***" : Printable(item.value));
    }
    return text.empty() ? "-" : text;
}
