// camsim's web side as an HTTP client with digest login sees it (libcurl here, so that
// nothing expected comes from the product's own client): the video page's exact bytes,
// settings that stay, a password shared with discovery, factory reset, and the login
// refusal pages. camsim writes a request's log line before its answer leaves, so the
// log is complete for every answer a test has received.
#include "tests/lab/CamsimProcess.h"
#include "tests/lab/DiscoveryTool.h"
#include "tests/lab/LabFile.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>

namespace {

constexpr long kTimeoutMs = 10000;
const std::string kIp = "10.77.0.40";
const std::string kMac = "02:00:00:00:00:0A";
const std::string kPlainIp = "10.77.0.41"; // plays plain-401
const std::string kBasic = "/cgi-bin/admin/basic.cgi?msubmenu=video&action=";

struct Reply {
    long status = 0;
    std::string body;
};

std::size_t AppendBody(char *data, std::size_t size, std::size_t count, void *body)
{
    static_cast<std::string *>(body)->append(data, size * count);
    return size * count;
}

Reply Get(const std::string &ip, const std::string &target, const std::string &user, const std::string &password)
{
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    const std::string url = "http://" + ip + target;
    Reply reply;
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl.get(), CURLOPT_HTTPAUTH, long(CURLAUTH_DIGEST));
    curl_easy_setopt(curl.get(), CURLOPT_USERNAME, user.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_PASSWORD, password.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, kTimeoutMs);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &AppendBody);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &reply.body);
    const CURLcode code = curl_easy_perform(curl.get());
    EXPECT_EQ(code, CURLE_OK) << curl_easy_strerror(code) << ": " << url;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &reply.status);
    return reply;
}

std::string PercentEncoded(const std::string &text)
{
    char *encoded = curl_easy_escape(nullptr, text.data(), int(text.size()));
    const std::string result = encoded;
    curl_free(encoded);
    return result;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
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
                                "\nhttp_behaviour = plain-401\n";

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
