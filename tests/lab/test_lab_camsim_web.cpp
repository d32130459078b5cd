// camsim's web side as an HTTP client with digest login sees it (libcurl here, so that
// nothing expected comes from the product's own client): the video page's exact bytes,
// settings that stay, a password shared with discovery, factory reset, the login
// refusal pages, logins at once, a digest made for another request, and the
// misbehaviours that answer without a login or keep a codec. camsim writes a request's
// log line before its answer leaves, so the log is complete for every answer a test
// has received.
#include "platform/MD5.h"
#include "tests/lab/CamsimProcess.h"
#include "tests/lab/DiscoveryTool.h"
#include "tests/lab/LabFile.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr long kTimeoutMs = 10000;
const std::string kIp = "10.77.0.40";
const std::string kMac = "02:00:00:00:00:0A";
const std::string kPlainIp = "10.77.0.41"; // plays plain-401
const std::string kNoLoginIp = "10.77.0.42";
const std::string kRedirectIp = "10.77.0.43";
const std::string kKeepsCodecIp = "10.77.0.44";
const std::string kBasic = "/cgi-bin/admin/basic.cgi?msubmenu=video&action=";

struct Reply {
    long status = 0;
    std::string body;
    std::vector<std::string> challenges; // the WWW-Authenticate values, in the order they came
    std::string location;
};

using CurlHandle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::size_t AppendBody(char *data, std::size_t size, std::size_t count, void *body)
{
    static_cast<std::string *>(body)->append(data, size * count);
    return size * count;
}

std::size_t KeepChallenge(char *data, std::size_t size, std::size_t count, void *challenges)
{
    constexpr std::string_view kName = "www-authenticate:";
    const std::string header(data, size * count);
    if (Lower(header.substr(0, kName.size())) == kName)
        static_cast<std::vector<std::string> *>(challenges)->push_back(header.substr(kName.size()));
    return size * count;
}

// A GET of the page with digest login (none when user is empty), filling reply as it
// comes; redirects are not followed.
CurlHandle PreparedGet(const std::string &url, const std::string &user, const std::string &password, Reply &reply)
{
    CurlHandle curl(curl_easy_init(), &curl_easy_cleanup);
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_NOPROXY, "*");
    if (!user.empty()) {
        curl_easy_setopt(curl.get(), CURLOPT_HTTPAUTH, long(CURLAUTH_DIGEST));
        curl_easy_setopt(curl.get(), CURLOPT_USERNAME, user.c_str());
        curl_easy_setopt(curl.get(), CURLOPT_PASSWORD, password.c_str());
    }
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, kTimeoutMs);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &AppendBody);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &reply.body);
    curl_easy_setopt(curl.get(), CURLOPT_HEADERFUNCTION, &KeepChallenge);
    curl_easy_setopt(curl.get(), CURLOPT_HEADERDATA, &reply.challenges);
    return curl;
}

// The status and redirect of a finished transfer.
void TakeOutcome(CURL *curl, Reply &reply)
{
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    const char *location = nullptr;
    curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &location);
    reply.location = location ? location : "";
}

Reply Get(const std::string &ip, const std::string &target, const std::string &user, const std::string &password)
{
    const std::string url = "http://" + ip + target;
    Reply reply;
    const CurlHandle curl = PreparedGet(url, user, password, reply);
    const CURLcode code = curl_easy_perform(curl.get());
    EXPECT_EQ(code, CURLE_OK) << curl_easy_strerror(code) << ": " << url;
    TakeOutcome(curl.get(), reply);
    return reply;
}

// The same GET by `count` clients at once, each on a connection of its own.
std::vector<Reply> GetAtOnce(int count, const std::string &ip, const std::string &target, const std::string &user,
                             const std::string &password)
{
    std::vector<Reply> replies(std::size_t(count), Reply{});
    std::vector<CurlHandle> handles;
    const std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)> multi(curl_multi_init(), &curl_multi_cleanup);
    for (Reply &reply : replies) {
        handles.push_back(PreparedGet("http://" + ip + target, user, password, reply));
        curl_multi_add_handle(multi.get(), handles.back().get());
    }
    for (int running = count; running > 0;) {
        EXPECT_EQ(curl_multi_perform(multi.get(), &running), CURLM_OK);
        curl_multi_poll(multi.get(), nullptr, 0, 100, nullptr);
    }
    for (std::size_t i = 0; i < handles.size(); ++i) {
        TakeOutcome(handles[i].get(), replies[i]);
        curl_multi_remove_handle(multi.get(), handles[i].get());
    }
    return replies;
}

std::string PercentEncoded(const std::string &text)
{
    char *encoded = curl_easy_escape(nullptr, text.data(), int(text.size()));
    const std::string result = encoded;
    curl_free(encoded);
    return result;
}

// A value of a challenge's field, its quotes taken off.
std::string ChallengeField(const std::string &challenge, const std::string &name)
{
    std::smatch value;
    return std::regex_search(challenge, value, std::regex(name + "=\"?([^\",\\s]*)")) ? value[1].str() : "";
}

// One request written by hand on a connection of its own; the answer as it came, up to
// the server's close.
std::string ExchangeRaw(const std::string &ip, const std::string &request)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval timeout{kTimeoutMs / 1000, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(80);
    ::inet_pton(AF_INET, ip.c_str(), &to.sin_addr);
    std::string answer;
    if (::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0 &&
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == ssize_t(request.size())) {
        char buffer[4096];
        for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
            answer.append(buffer, std::size_t(n));
    }
    ::close(fd);
    return answer;
}

// The Authorization header line of a GET's digest login (MD5, qop=auth) made for `uri`.
std::string DigestHeader(const std::string &realm, const std::string &nonce, int count, const std::string &uri,
                         const std::string &user, const std::string &password)
{
    char nc[9];
    std::snprintf(nc, sizeof nc, "%08x", count);
    const std::string cnonce = "0a4f113b";
    const std::string response = Md5Hex(Md5Hex(user + ":" + realm + ":" + password) + ":" + nonce + ":" + nc + ":" +
                                        cnonce + ":auth:" + Md5Hex("GET:" + uri));
    return "Authorization: Digest username=\"" + user + "\", realm=\"" + realm + "\", nonce=\"" + nonce +
           "\", uri=\"" + uri + "\", qop=auth, nc=" + nc + ", cnonce=\"" + cnonce + "\", response=\"" + response +
           "\", algorithm=MD5\r\n";
}

// A channel's block of the video page as a camera delivers it.
std::string Block(int channel, int codec, const std::string &name, const std::string &resolution)
{
    return "channel_no=" + std::to_string(channel) + "\r\ncodec=" + std::to_string(codec) + "\r\ncodec_name=" + name +
           "\r\nresolution=" + resolution +
           "\r\nframerate=30\r\nbitratemode=0\r\nquality=3\r\nh264_profile=2\r\nlbr_mode=0\r\n"
           "h264_extension_option=0\r\ngopsize=30\r\nrtp_mcast_enable=0\r\nrtp_mcast_ttl=5\r\nrtsp_timeout=60\r\n"
           "dscp=0\r\n\r\n";
}

const std::string kDeliveredVideo = Block(0, 3, "MJPEG", "1920x1080") + Block(1, 1, "H264", "1280x720");

const std::string kCameraFile = "[camera]\nmac = " + kMac + "\nip = " + kIp +
                                "\nuser = operator\npassword = secret\nchannels = 3,1\nlocked_channels = 1\n"
                                "[camera]\nmac = 02:00:00:00:00:0B\nip = " + kPlainIp +
                                "\nhttp_behaviour = plain-401\n"
                                "[camera]\nmac = 02:00:00:00:00:0C\nip = " + kNoLoginIp +
                                "\nhttp_behaviour = no-login\nchannels = 3\n"
                                "[camera]\nmac = 02:00:00:00:00:0D\nip = " + kRedirectIp +
                                "\nhttp_behaviour = redirect\n"
                                "[camera]\nmac = 02:00:00:00:00:0E\nip = " + kKeepsCodecIp +
                                "\nhttp_behaviour = keeps-codec\nchannels = 3\n";

class CamsimWeb : public ::testing::Test {
protected:
    Reply Video(const std::string &query, const std::string &user = "operator", const std::string &pass = "secret")
    {
        return Get(kIp, kBasic + query, user, pass);
    }

    const lab::LabFile file{kCameraFile};
    CamsimProcess camsim{{"--config", file.Path(), "--reboot-ms", "0"}};
};

} // namespace

TEST_F(CamsimWeb, VideoPageShowsEveryChannelAndKeepsWhatWasApplied)
{
    const Reply delivered = Video("view");
    EXPECT_EQ(delivered.status, 200);
    EXPECT_EQ(delivered.body, kDeliveredVideo);

    const struct {
        const char *query;
        const char *body;
    } applies[] = {
        {"channel_no=0&framerate=15", "ok\r\n"},
        {"channel_no=0&codec_name=Main+Stream%21", "ok\r\n"},
        {"channel_no=0&codec=2", "ok\r\n"}, // brings its name
        {"channel_no=0&codec=4", "ng\r\n"},
        {"channel_no=0&framerate=15x", "ng\r\n"},
        {"channel_no=0&framerate=10&gopsize=10", "ng\r\n"},
        {"channel_no=2&codec=1", "ng\r\n"},
        {"channel_no=1&codec=2", "ng\r\n"}, // locked
    };
    for (const auto &apply : applies)
        EXPECT_EQ(Video(std::string("apply&") + apply.query).body, apply.body) << apply.query;

    const std::string changed = Video("view&channel_no=0").body;
    EXPECT_NE(changed.find("\r\ncodec=2\r\ncodec_name=H265\r\nresolution=1920x1080\r\nframerate=15\r\n"),
              std::string::npos)
        << changed;
    EXPECT_EQ(camsim.CountLog("apply mac=" + kMac + " channel=0 codec_name=Main\\x20Stream! result=ok"), 1);
    EXPECT_EQ(Video("view&channel_no=1").body, Block(1, 1, "H264", "1280x720"));
    EXPECT_EQ(Video("view&channel_no=2").body, "ng\r\n");
    EXPECT_EQ(camsim.CountLog("apply mac=" + kMac + " channel=0 codec=2 result=ok"), 1);
    EXPECT_EQ(camsim.CountLog("apply mac=" + kMac + " channel=1 codec=2 result=ng"), 1);

    const Reply unknown = Get(kIp, "/cgi-bin/admin/basic.cgi?msubmenu=network&action=view", "operator", "secret");
    EXPECT_EQ(unknown.status, 404);
    EXPECT_EQ(Lower(unknown.body).find("ng\r\n"), std::string::npos);
}

TEST_F(CamsimWeb, NewPasswordHoldsForHttpAndDiscoveryUntilFactoryReset)
{
    const std::string password = "p&ss #%+ word:\xC4";
    const std::string modify = "/cgi-bin/admin/system.cgi?msubmenu=users&action=modify&index=0&id=operator&pass=";
    EXPECT_EQ(Get(kIp, modify + PercentEncoded(password), "operator", "secret").body, "ok\r\n");
    EXPECT_EQ(Video("view", "operator", password).body, kDeliveredVideo);
    EXPECT_EQ(Video("view", "operator", "secret").status, 401);
    EXPECT_EQ(Get(kIp, modify + "ab%00cd", "operator", password).body, "ng\r\n") << "a NUL cannot be stored";

    lab::DiscoveryTool discovery;
    EXPECT_EQ(discovery.LoginResult(kMac, "operator", password), lab::kLoginTaken);
    EXPECT_EQ(discovery.LoginResult(kMac, "operator", "secret"), lab::kLoginRefused);

    EXPECT_EQ(camsim.CountLog("password mac=" + kMac + " user=operator"), 1);
    EXPECT_EQ(camsim.CountLog("&pass=*** status=200"), 2);
    EXPECT_EQ(camsim.CountLog("p&ss"), 0) << "the password never reaches the log";

    EXPECT_EQ(Video("apply&channel_no=0&codec=1", "operator", password).body, "ok\r\n");
    discovery.Broadcast(lab::Command(lab::kFactoryReset, kMac, "operator", password));
    ASSERT_TRUE(camsim.WaitForLog("back mac=" + kMac, int(kTimeoutMs)));
    EXPECT_EQ(Video("view", "admin", "vqxnt").body, kDeliveredVideo);
    EXPECT_EQ(Video("view", "operator", password).status, 401);
}

TEST_F(CamsimWeb, RefusedLoginPageNamesTheRefusalExceptOnPlain401Cameras)
{
    const Reply refused = Get(kIp, kBasic + "view", "operator", "wrong");
    EXPECT_EQ(refused.status, 401);
    EXPECT_NE(refused.body.find("Unauthorized"), std::string::npos);

    const Reply plain = Get(kPlainIp, kBasic + "view", "admin", "wrong");
    EXPECT_EQ(plain.status, 401);
    EXPECT_FALSE(plain.body.empty());
    EXPECT_EQ(Lower(plain.body).find("unauthorized"), std::string::npos) << plain.body;
    EXPECT_EQ(Get(kPlainIp, kBasic + "view", "admin", "vqxnt").status, 200);
}

// Real servers give every challenge a nonce of its own, so clients that log in to one
// page at the same moment all get in, each after one challenge.
TEST_F(CamsimWeb, LoginsAtOnceEachGetANonceOfTheirOwnAndGetIn)
{
    constexpr int kLogins = 8;
    std::set<std::string> nonces;
    for (const Reply &reply : GetAtOnce(kLogins, kIp, kBasic + "view", "operator", "secret")) {
        EXPECT_EQ(reply.status, 200);
        EXPECT_EQ(reply.body, kDeliveredVideo);
        ASSERT_EQ(reply.challenges.size(), 1u);
        EXPECT_EQ(ChallengeField(reply.challenges[0], "algorithm"), "MD5") << "stock clients take no other spelling";
        nonces.insert(ChallengeField(reply.challenges[0], "nonce"));
    }
    EXPECT_EQ(nonces.size(), std::size_t(kLogins));
}

// A digest is taken once, and only for its own request. One whose uri names another
// request is malformed, as real servers see it: 400, and the page does nothing. The
// same login made for the request itself gets in, so the header is otherwise sound.
TEST_F(CamsimWeb, DigestIsTakenOnceAndForItsOwnRequestOnly)
{
    const std::string target = kBasic + "view";
    const std::string head = "GET " + target + " HTTP/1.1\r\nHost: " + kIp + "\r\nConnection: close\r\n";
    const std::string nonce = ChallengeField(ExchangeRaw(kIp, head + "\r\n"), "nonce");
    ASSERT_FALSE(nonce.empty());
    const struct {
        const char *name;
        std::string uri;
        int count;
        const char *statusLine;
    } cases[] = {
        {"its own", target, 1, "HTTP/1.1 200 "},
        {"its own again", target, 1, "HTTP/1.1 401 "},
        {"another page's", kBasic + "apply&channel_no=0&codec=1", 2, "HTTP/1.1 400 "},
        {"its path alone", "/cgi-bin/admin/basic.cgi", 3, "HTTP/1.1 400 "},
        {"its own, a later count", target, 4, "HTTP/1.1 200 "},
    };
    for (const auto &test : cases) {
        const std::string login = DigestHeader("camera " + kMac, nonce, test.count, test.uri, "operator", "secret");
        const std::string answer = ExchangeRaw(kIp, head + login + "\r\n");
        EXPECT_EQ(answer.rfind(test.statusLine, 0), 0u) << test.name << ":\n" << answer;
    }
    EXPECT_EQ(camsim.CountLog("user=operator page=basic.cgi query=msubmenu=video&action=view status=400"), 2);
    EXPECT_EQ(camsim.CountLog("apply mac="), 0);
}

// Cameras that serve every page without a login, send every request on to HTTPS, or say
// yes to a new codec and keep the old one: each step in order, and its log line.
TEST_F(CamsimWeb, MisbehavioursServeWithoutLoginRedirectOrKeepTheCodec)
{
    const std::string view = kBasic + "view";
    const std::string viewLogged = " port=80 user=- page=basic.cgi query=msubmenu=video&action=view status=";
    const std::string modify = "/cgi-bin/admin/system.cgi?msubmenu=users&action=modify&index=0&id=admin&pass=fresh-pw";
    const std::string delivered = Block(0, 3, "MJPEG", "1920x1080");
    const struct {
        const char *name;
        const std::string &ip;
        std::string target;
        const char *user; // empty: no login offered
        long status;
        std::string body;
        std::string location;
        std::string logged;
    } steps[] = {
        {"no-login view", kNoLoginIp, view, "", 200, delivered, "", "ip=" + kNoLoginIp + viewLogged + "200"},
        {"no-login password", kNoLoginIp, modify, "", 200, "ok\r\n", "", "password mac=02:00:00:00:00:0C user=admin"},
        {"redirect", kRedirectIp, view, "admin", 302, "", "https://" + kRedirectIp + view,
         "ip=" + kRedirectIp + viewLogged + "302"},
        {"keeps-codec apply", kKeepsCodecIp, kBasic + "apply&channel_no=0&codec=1", "admin", 200, "ok\r\n", "",
         "apply mac=02:00:00:00:00:0E channel=0 codec=1 result=ok"},
        {"keeps-codec view", kKeepsCodecIp, view, "admin", 200, delivered, "",
         "ip=" + kKeepsCodecIp + " port=80 user=admin page=basic.cgi query=msubmenu=video&action=view status=200"},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.name);
        const Reply reply = Get(step.ip, step.target, step.user, "vqxnt");
        EXPECT_EQ(reply.status, step.status);
        EXPECT_EQ(reply.body, step.body);
        EXPECT_EQ(reply.location, step.location);
        EXPECT_EQ(camsim.CountLog(step.logged), 1) << step.logged;
    }
    lab::DiscoveryTool discovery;
    EXPECT_EQ(discovery.LoginResult("02:00:00:00:00:0C", "admin", "fresh-pw"), lab::kLoginTaken);
}
