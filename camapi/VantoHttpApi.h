#pragma once
// The client of a camera's CGI pages: one GET a request, HTTP digest login, fixed
// time-outs, and the answer sorted into a few result codes with a text the user sees.

#include "camapi/CameraAddress.h"
#include "camapi/VideoConfig.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum : std::int32_t {
    API_SUCCESS = 0,
    API_FAIL = 1,
    API_UNAUTHORIZED = 2,
    API_BUFFER_TOO_SMALL = 10,
    API_NETWORK_ERROR = -1,
};

struct API_RESULT {
    std::int32_t nCode = API_SUCCESS;
    std::int32_t nCurlCode = 0; // libcurl's result, for diagnosis only
    std::string strMessage;
    // The camera challenged the request for a digest login: only then does a success
    // prove the login.
    bool bLoginAsked = false;
};

// The result a completed transfer gets from its HTTP status and body. 401 is always
// "Unauthorized"; otherwise the markers decide, without regard to letter case, in this
// order: "ok\r\n", "ng\r\n", "unauthorized"; without any, a status outside 200-299
// is "Fail." (no redirect is followed, so a 3xx is never the camera's answer) and any
// other "Success.".
API_RESULT ClassifyResponse(long httpStatus, std::string_view body);

class CVantoHttpApi {
public:
    CVantoHttpApi() = default;
    virtual ~CVantoHttpApi() = default;

    // The camera the requests go to, on port 80 (every camera's web pages are there,
    // whatever its HTTP port for viewers says). Without one, as for a camera that reported
    // no dotted quad, every request is a network error that says so, and nothing is sent.
    void SetHost(std::optional<CCameraAddress> host);
    void SetCredentials(const std::string &user, const std::string &password);

    // One GET of the camera's page ("/cgi-bin/...?query"), straight to the camera whatever
    // proxy the environment names (the password can travel in the query). The body is
    // written to response only when the transfer completed; after a failure response
    // keeps what it held.
    API_RESULT SendRequest(std::string_view pageAndQuery, std::string &response);

    // libcurl's write callback: appends the piece to the std::string at stream, as it
    // came. A body past kMaxResponseBytes stops the transfer.
    static std::size_t WriteResponse(char *data, std::size_t size, std::size_t count, void *stream);

    // Reads all channels (channel < 0) or one into buffer (80 bytes a record).
    API_RESULT GetVideoConfig(void *buffer, std::uint32_t bufferLength, std::int32_t &count, std::int32_t channel);
    // Writes the first selected field of the record's channel.
    API_RESULT SetVideoConfig(const VIDEO_CONFIG &record, std::int32_t fields);
    // Gives the logged-in user a new password.
    API_RESULT ChangePassword(const std::string &newPassword);

    // The longest body kept; a camera that sends more is treated as unreachable.
    static constexpr std::size_t kMaxResponseBytes = 1024 * 1024;
    static constexpr long kTotalTimeoutSeconds = 40;
    static constexpr long kConnectTimeoutSeconds = 20;

private:
    std::string m_strUser;
    std::string m_strPassword;
    std::optional<CCameraAddress> m_host;
};
