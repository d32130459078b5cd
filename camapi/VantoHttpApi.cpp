#include "camapi/VantoHttpApi.h"

#include "camapi/QueryText.h"
#include "platform/DebugOutput.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr long kHttpUnauthorized = 401;
constexpr long kFirstSuccessStatus = 200;
constexpr long kLastSuccessStatus = 299;

API_RESULT Result(std::int32_t code, std::int32_t curlCode = 0)
{
    switch (code) {
    case API_SUCCESS: return {code, curlCode, "Success."};
    case API_FAIL: return {code, curlCode, "Fail."};
    case API_UNAUTHORIZED: return {code, curlCode, "Unauthorized"};
    case API_BUFFER_TOO_SMALL: return {code, curlCode, "Buffer size not enough."};
    default: return {API_NETWORK_ERROR, curlCode, "Network error."};
    }
}

// Nothing was sent: the camera reported a host name, a port, a login or other bytes
// where its dotted quad belongs.
API_RESULT NoCameraAddress()
{
    return {API_NETWORK_ERROR, 0, "The camera's address is not an IPv4 address."};
}

std::string LowerAscii(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return lower;
}

struct Transfer {
    CURLcode code = CURLE_FAILED_INIT;
    long httpStatus = 0;
    bool loginAsked = false;
};

// Notes a digest challenge among the headers of any response of the transfer.
std::size_t NoteChallenge(char *data, std::size_t size, std::size_t count, void *transfer)
{
    const std::size_t bytes = size * count;
    const std::string line = LowerAscii(std::string_view(data, bytes));
    if (line.starts_with("www-authenticate:") && line.find("digest") != std::string::npos)
        static_cast<Transfer *>(transfer)->loginAsked = true;
    return bytes;
}

Transfer Perform(const std::string &url, const std::string &user, const std::string &password, std::string &body)
{
    Transfer transfer;
    CURL *curl = curl_easy_init();
    if (!curl)
        return transfer;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CVantoHttpApi::WriteResponse);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, CVantoHttpApi::kTotalTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, CVantoHttpApi::kConnectTimeoutSeconds);
    // Separately, so that a ':' in the user ID stays part of it.
    curl_easy_setopt(curl, CURLOPT_USERNAME, user.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, password.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPAUTH, long(CURLAUTH_DIGEST));
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &NoteChallenge);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    // Cameras are on the installer's own segment; a proxy would see every password.
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    // The transfer may run off the window thread; time-outs must not rely on signals.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    transfer.code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &transfer.httpStatus);
    curl_easy_cleanup(curl);
    return transfer;
}

} // namespace

API_RESULT ClassifyResponse(long httpStatus, std::string_view body)
{
    if (httpStatus == kHttpUnauthorized)
        return Result(API_UNAUTHORIZED);
    const std::string lower = LowerAscii(body);
    if (lower.find("ok\r\n") != std::string::npos)
        return Result(API_SUCCESS);
    if (lower.find("ng\r\n") != std::string::npos)
        return Result(API_FAIL);
    if (lower.find("unauthorized") != std::string::npos)
        return Result(API_UNAUTHORIZED);
    const bool success = httpStatus >= kFirstSuccessStatus && httpStatus <= kLastSuccessStatus;
    return Result(success ? API_SUCCESS : API_FAIL);
}

void CVantoHttpApi::SetHost(std::optional<CCameraAddress> host)
{
    m_host = host;
}

void CVantoHttpApi::SetCredentials(const std::string &user, const std::string &password)
{
    m_strUser = user;
    m_strPassword = password;
}

std::size_t CVantoHttpApi::WriteResponse(char *data, std::size_t size, std::size_t count, void *stream)
{
    auto &body = *static_cast<std::string *>(stream);
    const std::size_t bytes = size * count;
    if (bytes > kMaxResponseBytes - std::min(body.size(), kMaxResponseBytes))
        return 0; // libcurl ends the transfer with a write error
    body.append(data, bytes);
    return bytes;
}

API_RESULT CVantoHttpApi::SendRequest(std::string_view pageAndQuery, std::string &response)
{
    if (!m_host)
        return NoCameraAddress();
    // Refused before anything reaches the wire: such a login would split the request.
    if (HasLineBreakOrNul(m_strUser) || HasLineBreakOrNul(m_strPassword))
        return Result(API_NETWORK_ERROR);
    std::string body;
    const Transfer transfer = Perform(m_host->Url("http", std::nullopt, pageAndQuery), m_strUser, m_strPassword, body);
    if (transfer.code != CURLE_OK)
        return Result(API_NETWORK_ERROR, transfer.code);
    body.resize(std::strlen(body.c_str()));
    API_RESULT result = ClassifyResponse(transfer.httpStatus, body);
    result.bLoginAsked = transfer.loginAsked;
    response = std::move(body);
    return result;
}

API_RESULT CVantoHttpApi::GetVideoConfig(void *buffer, std::uint32_t bufferLength, std::int32_t &count,
                                         std::int32_t channel)
{
    std::string page = "/cgi-bin/admin/basic.cgi?msubmenu=video&action=view";
    if (channel >= 0)
        page += "&channel_no=" + std::to_string(channel);
    std::string text;
    API_RESULT result = SendRequest(page, text);
    if (result.nCode != API_SUCCESS)
        return result;
    VIDEO_CONFIG records[VIDEO_CONFIG_MAX_RECORDS] = {};
    count = ParseVideoConfig(text, records);
    const std::size_t bytes = std::size_t(count) * sizeof(VIDEO_CONFIG);
    if (bufferLength < bytes) {
        API_RESULT tooSmall = Result(API_BUFFER_TOO_SMALL, result.nCurlCode);
        tooSmall.bLoginAsked = result.bLoginAsked;
        return tooSmall;
    }
    std::memcpy(buffer, records, bytes);
    return result;
}

API_RESULT CVantoHttpApi::SetVideoConfig(const VIDEO_CONFIG &record, std::int32_t fields)
{
    const std::string page = "/cgi-bin/admin/basic.cgi?msubmenu=video&action=apply&channel_no=" +
                             std::to_string(record.channel_no) + VideoSetParameter(record, fields);
    std::string text;
    API_RESULT result = SendRequest(page, text);
    WriteDebugOutput(text);
    return result;
}

API_RESULT CVantoHttpApi::ChangePassword(const std::string &newPassword)
{
    const std::string page = "/cgi-bin/admin/system.cgi?msubmenu=users&action=modify&index=0&id=" +
                             PercentEncode(m_strUser) + "&pass=" + PercentEncode(newPassword);
    std::string ignored;
    return SendRequest(page, ignored);
}
