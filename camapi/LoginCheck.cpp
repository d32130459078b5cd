#include "camapi/LoginCheck.h"

#include "platform/DebugOutput.h"

namespace {

constexpr int kReplacementCodec = 1;

ChannelReading ReadAllChannels(CVantoHttpApi &api)
{
    ChannelReading reading;
    reading.result = api.GetVideoConfig(reading.records, sizeof reading.records, reading.count, -1);
    return reading;
}

CVantoHttpApi CameraApi(const std::string &ip, const std::string &user, const std::string &password)
{
    CVantoHttpApi api;
    api.SetHost(CCameraAddress::FromText(ip));
    api.SetCredentials(user, password);
    return api;
}

// Every channel is visited, so one refused write does not leave the others on codec 3.
void ReplaceCodec3(CVantoHttpApi &api, ChannelReading &reading, LoginCheckResult &check)
{
    for (std::int32_t i = 0; i < reading.count; ++i) {
        VIDEO_CONFIG &record = reading.records[i];
        if (record.codec != kCodecToReplace)
            continue;
        record.codec = kReplacementCodec;
        const API_RESULT result = api.SetVideoConfig(record, VIDEO_SET_CODEC);
        check.switchFailures |= result.nCode;
        if (result.nCode == API_SUCCESS)
            check.switchedChannels.push_back(record.channel_no);
        WriteDebugOutput("-------------------");
        WriteDebugOutput(result.strMessage);
    }
}

} // namespace

ChannelReading ReadCameraChannels(const std::string &ip, const std::string &user, const std::string &password)
{
    CVantoHttpApi api = CameraApi(ip, user, password);
    return ReadAllChannels(api);
}

LoginCheckResult CheckLoginAndUpdateCodec(const std::string &ip, const std::string &user, const std::string &password)
{
    LoginCheckResult check;
    if (ip.empty() || password.empty() || user.empty()) {
        check.reading.nCode = API_FAIL;
        check.reading.strMessage = "Fail.";
        return check;
    }
    CVantoHttpApi api = CameraApi(ip, user, password);
    ChannelReading reading = ReadAllChannels(api);
    check.reading = reading.result;
    if (reading.result.nCode != API_SUCCESS) {
        WriteDebugOutput("api.GetVideoConfig error.");
        return check;
    }
    ReplaceCodec3(api, reading, check);
    return check;
}

std::string LoginCheckMessage(const LoginCheckResult &check)
{
    if (check.reading.nCode != API_SUCCESS)
        return check.reading.strMessage;
    return check.switchFailures != 0 ? "Update codec failed." : "";
}

bool AcceptsDefaultLogin(const std::string &ip)
{
    CVantoHttpApi api = CameraApi(ip, DEFAULT_USER_ID, DEFAULT_PASSWORD);
    const std::int32_t code = ReadAllChannels(api).result.nCode;
    return code != API_UNAUTHORIZED && code != API_NETWORK_ERROR;
}
