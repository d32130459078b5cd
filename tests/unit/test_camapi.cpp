// The camera web API without a camera: the video page parser, the sorting of answers
// into result codes, and what travels inside a page's address. Bodies are written out
// here as a camera sends them.
#include "camapi/CameraAddress.h"
#include "camapi/QueryText.h"
#include "camapi/VantoHttpApi.h"
#include "camapi/VideoConfig.h"
#include "platform/DebugOutput.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Parsed {
    int count;
    VIDEO_CONFIG records[VIDEO_CONFIG_MAX_RECORDS];
};

Parsed Parse(std::string_view text)
{
    Parsed p{};
    p.count = ParseVideoConfig(text, p.records);
    return p;
}

std::string Block(int channel, int codec)
{
    return "channel_no=" + std::to_string(channel) + "\r\ncodec=" + std::to_string(codec) + "\r\n\r\n";
}

const std::string kTwoChannels = "channel_no=0\r\ncodec=3\r\ncodec_name=H264\r\nresolution=1920x1080\r\n\r\n"
                                 "channel_no=1\r\ncodec=1\r\n\r\n";

} // namespace

TEST(VideoConfigParser, ChannelsCountOnlyOnceTheirBlankLineIsRead)
{
    const Parsed two = Parse(kTwoChannels);
    ASSERT_EQ(two.count, 2);
    EXPECT_EQ(two.records[0].channel_no, 0);
    EXPECT_EQ(two.records[0].codec, 3);
    EXPECT_STREQ(two.records[0].codec_name, "H264");
    EXPECT_EQ(two.records[0].resolution_width, 1920);
    EXPECT_EQ(two.records[0].resolution_height, 1080);
    EXPECT_EQ(two.records[1].channel_no, 1);
    EXPECT_EQ(two.records[1].codec, 1);
    EXPECT_STREQ(two.records[1].codec_name, "");
    EXPECT_EQ(two.records[1].resolution_width, 0);

    const Parsed tail = Parse(kTwoChannels.substr(0, kTwoChannels.size() - 2));
    EXPECT_EQ(tail.count, 1);
    EXPECT_EQ(tail.records[1].codec, 1) << "the uncounted tail block is still parsed";

    std::string seventeen;
    for (int i = 0; i < 17; ++i)
        seventeen += Block(i, 3);
    const Parsed many = Parse(seventeen);
    EXPECT_EQ(many.count, 16);
    EXPECT_EQ(many.records[15].channel_no, 15);
}

TEST(VideoConfigParser, LineRules)
{
    struct Case {
        const char *what;
        std::string text;
        int count;
        int codec, width, height;
        const char *name;
    };
    const std::string longLine = "codec_name=" + std::string(88, 'X') + "\r\n"; // 100 characters with its CR
    const Case cases[] = {
        {"bare resolution", "resolution=1920\r\n\r\n", 1, 0, 1920, 0, ""},
        {"empty codec_name keeps the earlier one", "codec_name=H265\r\ncodec_name=\r\n\r\n", 1, 0, 0, 0, "H265"},
        {"key with a trailing space matches nothing", "codec =3\r\n\r\n", 1, 0, 0, 0, ""},
        {"space after '=' is skipped", "codec= 3\r\n\r\n", 1, 3, 0, 0, ""},
        {"a 100-character line ends the page", Block(0, 3) + longLine + Block(1, 2), 1, 3, 0, 0, ""},
        {"a 99-character line is read", "codec=2\r\n" + longLine.substr(1) + "\r\n", 1, 2, 0, 0, ""},
        {"value ends at white space", "codec=2 7\r\n\r\n", 1, 2, 0, 0, ""},
        {"no digits reads 0", "codec=x3\r\n\r\n", 1, 0, 0, 0, ""},
        {"huge numbers are held at the range's end", "codec=99999999999999\r\n\r\n", 1, 2147483647, 0, 0, ""},
        {"LF-only lines never count a channel", "codec=3\n\ncodec=2\n", 0, 2, 0, 0, ""},
    };
    for (const Case &c : cases) {
        const Parsed p = Parse(c.text);
        EXPECT_EQ(p.count, c.count) << c.what;
        EXPECT_EQ(p.records[0].codec, c.codec) << c.what;
        EXPECT_EQ(p.records[0].resolution_width, c.width) << c.what;
        EXPECT_EQ(p.records[0].resolution_height, c.height) << c.what;
        EXPECT_STREQ(p.records[0].codec_name, c.name) << c.what;
    }
}

TEST(VideoConfigParser, OverlongKeysValuesAndNamesAreCutInsideTheirFields)
{
    const std::string name(48, 'N');
    const Parsed p = Parse("codec_name=" + name + "\r\n" + std::string(50, 'k') + "=1\r\n" +
                           "resolution=" + std::string(48, '7') + "x5\r\n\r\n");
    ASSERT_EQ(p.count, 1);
    EXPECT_EQ(std::string(p.records[0].codec_name), name.substr(0, 19));
    EXPECT_EQ(p.records[0].resolution_width, 2147483647);
    EXPECT_EQ(p.records[0].resolution_height, 0) << "the value was cut before the x";
}

// Every prefix of a valid page parses within the prefix's own bytes (ASan sees a read
// past a heap copy of exactly that many bytes); a channel counts from the CR that
// starts its blank line, the page's last line needing no LF.
TEST(VideoConfigParser, EveryPrefixParsesWithinItself)
{
    const std::size_t firstBlank = kTwoChannels.find("\r\n\r") + 2;
    const std::size_t secondBlank = kTwoChannels.size() - 2;
    for (std::size_t n = 0; n <= kTwoChannels.size(); ++n) {
        const std::vector<char> copy(kTwoChannels.begin(), kTwoChannels.begin() + long(n));
        const Parsed p = Parse(std::string_view(copy.data(), copy.size()));
        EXPECT_EQ(p.count, int(n > firstBlank) + int(n > secondBlank)) << n;
    }
}

TEST(VideoSetParameter, FirstSelectedFieldDecides)
{
    VIDEO_CONFIG record{};
    record.channel_no = 2;
    record.codec = 1;
    record.resolution_width = 1280;
    record.resolution_height = 720;
    record.dscp = 46;
    std::memcpy(record.codec_name, "H 264&", 7);
    EXPECT_EQ(VideoSetParameter(record, VIDEO_SET_CODEC | VIDEO_SET_RESOLUTION), "&codec=1");
    EXPECT_EQ(VideoSetParameter(record, VIDEO_SET_RESOLUTION), "&resolution=1280x720");
    EXPECT_EQ(VideoSetParameter(record, VIDEO_SET_CODEC_NAME), "&codec_name=H%20264%26");
    EXPECT_EQ(VideoSetParameter(record, VIDEO_SET_DSCP), "&dscp=46");
    EXPECT_EQ(VideoSetParameter(record, VIDEO_SET_CHANNEL_NO), "");
    std::memset(record.codec_name, 'Z', sizeof record.codec_name); // no terminator in the field
    EXPECT_EQ(VideoSetParameter(record, VIDEO_SET_CODEC_NAME), "&codec_name=" + std::string(20, 'Z'));
}

TEST(ResponseClassification, StatusAndMarkers)
{
    struct Case {
        long status;
        const char *body;
        std::int32_t code;
        const char *message;
    };
    const Case cases[] = {
        {200, "OK\r\n", API_SUCCESS, "Success."},
        {200, "NG\r\n", API_FAIL, "Fail."},
        {200, "ng\r\nok\r\n", API_SUCCESS, "Success."},
        {200, "ok\r\nng\r\n", API_SUCCESS, "Success."},
        {200, "ng", API_SUCCESS, "Success."},
        {200, "", API_SUCCESS, "Success."},
        {200, "<title>401 UnAuthorized</title>", API_UNAUTHORIZED, "Unauthorized"},
        {401, "<html>Access denied</html>", API_UNAUTHORIZED, "Unauthorized"},
        {401, "ok\r\n", API_UNAUTHORIZED, "Unauthorized"},
        {500, "<html>Internal Server Error</html>", API_FAIL, "Fail."},
        {404, "", API_FAIL, "Fail."},
        {500, "ok\r\n", API_SUCCESS, "Success."},
        {302, "moved", API_FAIL, "Fail."},
        {302, "", API_FAIL, "Fail."},
        {304, "", API_FAIL, "Fail."},
        {199, "", API_FAIL, "Fail."},
        {204, "", API_SUCCESS, "Success."},
        {299, "", API_SUCCESS, "Success."},
    };
    for (const Case &c : cases) {
        const API_RESULT result = ClassifyResponse(c.status, c.body);
        EXPECT_EQ(result.nCode, c.code) << c.status << " " << c.body;
        EXPECT_EQ(result.strMessage, c.message) << c.status << " " << c.body;
    }
}

// Pieces are joined exactly as they came, whatever the network split; past the cap
// libcurl is told to stop.
TEST(ResponseBody, PiecesJoinAsTheyCameUpToTheCap)
{
    std::string body;
    char piece1[] = "ok";
    char piece2[] = "\r\n";
    EXPECT_EQ(CVantoHttpApi::WriteResponse(piece1, 1, 2, &body), 2u);
    EXPECT_EQ(CVantoHttpApi::WriteResponse(piece2, 2, 1, &body), 2u);
    EXPECT_EQ(body, "ok\r\n");

    std::string big(CVantoHttpApi::kMaxResponseBytes - 1, 'a');
    char more[] = "bc";
    EXPECT_EQ(CVantoHttpApi::WriteResponse(more, 1, 1, &big), 1u);
    EXPECT_EQ(CVantoHttpApi::WriteResponse(more, 1, 1, &big), 0u);
    EXPECT_EQ(big.size(), CVantoHttpApi::kMaxResponseBytes);
}

TEST(QueryText, PasswordsTravelByteForByte)
{
    EXPECT_EQ(PercentEncode("p&ss #%+ word:\xC4"), "p%26ss%20%23%25%2B%20word%3A%C4");
    EXPECT_EQ(PercentEncode("Az09-._~"), "Az09-._~");
    EXPECT_FALSE(HasLineBreakOrNul("admin:x"));
    EXPECT_TRUE(HasLineBreakOrNul("adm\rin"));
    EXPECT_TRUE(HasLineBreakOrNul("admin\n"));
    EXPECT_TRUE(HasLineBreakOrNul(std::string_view("ad\0min", 6)));
}

// Every address a camera's page is dialled or opened by is built here, and only from a
// dotted quad: a camera's text that names anything more, or names it otherwise, makes none.
TEST(CameraAddress, OnlyADottedQuadMakesAnAddress)
{
    const std::string notDottedQuads[] = {
        "", "10.0.0.9:8080", "evil.example", "10.0.0.9/x?", "user@10.0.0.9", "user:pw@10.0.0.9", " 10.0.0.9",
        "10.0.0.9 ", "010.000.000.009", "10.0.0.9.", "10.0.0.9.5", "10.0.0", "10.0.0.256", "0x0a.0.0.9", "167772169",
        std::string("10.0.0.9\0.evil", 14), "10.0.0.9\r\nX: 1", "10.0.0.9\x1b[2J", "::1", "[::1]", "::ffff:10.0.0.9",
        "%31%30.0.0.9", "10.0.0.9#", "localhost", "-1.0.0.9", "+10.0.0.9",
    };
    for (const std::string &text : notDottedQuads)
        EXPECT_FALSE(CCameraAddress::FromText(text)) << testing::PrintToString(text);

    const std::optional<CCameraAddress> camera = CCameraAddress::FromText("10.77.0.10");
    ASSERT_TRUE(camera);
    EXPECT_EQ(camera->Url("http", std::nullopt, "/cgi-bin/admin/basic.cgi?msubmenu=video&action=view"),
              "http://10.77.0.10/cgi-bin/admin/basic.cgi?msubmenu=video&action=view");
    EXPECT_EQ(camera->Url("http", 8080, ""), "http://10.77.0.10:8080");
    EXPECT_EQ(CCameraAddress::FromText("255.255.255.255")->Url("https", std::nullopt, ""), "https://255.255.255.255");
}

// The window writes cameras' answers to its debug output, which may be a terminal: the
// bytes that would act on it arrive escaped.
TEST(DebugOutput, CameraBytesReachStandardErrorEscaped)
{
    std::FILE *capture = std::tmpfile();
    ASSERT_NE(capture, nullptr);
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(fileno(capture), STDERR_FILENO);
    WriteDebugOutput(std::string("ok\r\n\x1b[2J\x07\x9b" "caf\xE9", 14));
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::rewind(capture);
    char shown[128] = {};
    const std::size_t length = std::fread(shown, 1, sizeof shown - 1, capture);
    std::fclose(capture);
    EXPECT_EQ(std::string(shown, length), "ok\\x0D\\x0A\\x1B[2J\\x07\\x9Bcaf\xC3\xA9\n");
}
