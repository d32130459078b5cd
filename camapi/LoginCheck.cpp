#include "camapi/LoginCheck.h"

#include "camapi/PasswordChange.h"
#include "platform/DebugOutput.h"
#include "platform/MessageBox.h"

namespace {

constexpr int kCodecToReplace = 3;
constexpr int kReplacementCodec = 1;

struct ChannelReading {
    API_RESULT result;
    VIDEO_CONFIG records[VIDEO_CONFIG_MAX_RECORDS] = {};
    std::int32_t count = 0;
};

ChannelReading ReadAllChannels(CVantoHttpApi &api)
{
    ChannelReading reading;
    reading.result = api.GetVideoConfig(reading.records, sizeof reading.records, reading.count, -1);
    return reading;
}

CVantoHttpApi CameraApi(const std::string &ip, const std::string &user, const std::string &password)
{
    CVantoHttpApi api;
    api.SetHost(ip, kCameraHttpPort);
    api.SetCredentials(user, password);
    return api;
}

// Every channel is visited, so one refused write does not leave the others on codec 3.
std::int32_t ReplaceCodec3(CVantoHttpApi &api, ChannelReading &reading)
{
    std::int32_t failures = 0;
    for (std::int32_t i = 0; i < reading.count; ++i) {
        VIDEO_CONFIG &record = reading.records[i];
        if (record.codec != kCodecToReplace)
            continue;
        record.codec = kReplacementCodec;
        const API_RESULT result = api.SetVideoConfig(record, VIDEO_SET_CODEC);
        failures |= result.nCode;
        OutputDebugStringA("-------------------");
        OutputDebugStringA(result.strMessage);
    }
    return failures;
}

} // namespace

bool CheckLoginAndUpdateCodec(const std::string &ip, const std::string &user, const std::string &password,
                              std::int32_t show)
{
    if (ip.empty() || password.empty() || user.empty())
        return false;
    CVantoHttpApi api = CameraApi(ip, user, password);
    ChannelReading reading = ReadAllChannels(api);
    if (reading.result.nCode != API_SUCCESS) {
        if (show)
            ShowMessage(reading.result.strMessage);
        OutputDebugStringA("api.GetVideoConfig error.");
        return false;
    }
    if (ReplaceCodec3(api, reading) != 0) {
        if (show)
            ShowMessage("Update codec failed.");
        return false;
    }
    return true;
}

bool AcceptsDefaultLogin(const std::string &ip)
{
    if (ip.empty())
        return false;
    CVantoHttpApi api = CameraApi(ip, DEFAULT_USER_ID, DEFAULT_PASSWORD);
    const std::int32_t code = ReadAllChannels(api).result.nCode;
    return code != API_UNAUTHORIZED && code != API_NETWORK_ERROR;
}
