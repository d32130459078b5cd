// The camera web API against camsim over real HTTP with digest login, in the lab: how
// answers are sorted, what the login check and codec update send, and how the client
// survives cameras that misbehave. Each camera of the file below plays one case.
#include "camapi/LoginCheck.h"
#include "camapi/PasswordChange.h"
#include "camapi/VantoHttpApi.h"
#include "inventory/DeviceList.h"
#include "platform/DebugOutput.h"
#include "platform/MessageBox.h"
#include "tests/lab/CamsimProcess.h"
#include "tests/lab/LabFile.h"
#include "tests/lab/ScriptedUser.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kLogTimeoutMs = 5000;

struct CameraCase {
    const char *name;
    const char *keys; // camera-file lines besides mac and ip
    const char *body; // scripted page, or null
};

// One camera a case, at 10.77.0.10 onwards.
const CameraCase kCameras[] = {
    {"codec", "channels = 3,3,1", nullptr},
    {"locked", "channels = 3,3\nlocked_channels = 0", nullptr},
    {"upper-ok", "", "OK\r\n"},
    {"upper-ng", "", "NG\r\n"},
    {"both", "", "ng\r\nok\r\n"},
    {"no-marker", "", "<html><body>Settings saved</body></html>"},
    {"empty", "", ""},
    {"slow", "channels = 3,1\nhttp_behaviour = slow", nullptr},
    {"plain-401", "http_behaviour = plain-401", nullptr},
    {"error-500", "http_behaviour = error-500", nullptr},
    {"endless", "http_behaviour = endless", nullptr},
    {"hang", "http_behaviour = hang", nullptr},
    {"one-mib", "", nullptr},
    {"over-one-mib", "", nullptr},
    {"reference", "channels = 3,1", nullptr},
    {"proxied", "", nullptr},
    {"spelled-otherwise", "", nullptr}, // 10.77.0.26, named by texts that are no dotted quad
};

std::string CameraIp(const std::string &name)
{
    for (std::size_t i = 0; i < std::size(kCameras); ++i)
        if (name == kCameras[i].name)
            return "10.77.0." + std::to_string(10 + i);
    throw std::invalid_argument("no camera " + name);
}

constexpr const char *kViewPage = "/cgi-bin/admin/basic.cgi?msubmenu=video&action=view";

// Records message boxes and debug lines for one test.
class Observed final {
public:
    Observed()
    {
        m_previousBox = SetMessageBoxHandler([this](const MessageRequest &r) {
            boxes.push_back(r.text);
            return ANSWER_OK;
        });
        m_previousSink = SetDebugSink([this](std::string_view text) { debug.emplace_back(text); });
    }
    ~Observed()
    {
        SetMessageBoxHandler(std::move(m_previousBox));
        SetDebugSink(std::move(m_previousSink));
    }
    Observed(const Observed &) = delete;
    Observed &operator=(const Observed &) = delete;

    std::vector<std::string> boxes;
    std::vector<std::string> debug;

private:
    MessageBoxHandler m_previousBox;
    DebugSink m_previousSink;
};

// Port 80 on the test's own side of the lab, where "localhost" and its like lead. It
// hangs up on each connection at once, so that a request that came here fails fast, and
// notes where each came from.
class LocalWebPort final {
public:
    LocalWebPort() : m_socket(socket(AF_INET, SOCK_STREAM, 0))
    {
        const sockaddr_in address = Port80(INADDR_ANY);
        if (bind(m_socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
            listen(m_socket, 64) != 0)
            throw std::runtime_error("cannot listen on port 80");
        m_taker = std::thread([this] { HangUpOnEach(); });
    }
    ~LocalWebPort()
    {
        shutdown(m_socket, SHUT_RDWR); // ends the taker's accept
        m_taker.join();
        close(m_socket);
    }
    LocalWebPort(const LocalWebPort &) = delete;
    LocalWebPort &operator=(const LocalWebPort &) = delete;

    // Fence: connects itself and waits until its connection is taken; the connections
    // taken before it, or -1 when the fence never arrived.
    int ConnectionsBeforeFence()
    {
        const int fence = socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in to = Port80(INADDR_LOOPBACK);
        sockaddr_in own{};
        socklen_t length = sizeof own;
        int before = -1;
        if (connect(fence, reinterpret_cast<const sockaddr *>(&to), sizeof to) == 0 &&
            getsockname(fence, reinterpret_cast<sockaddr *>(&own), &length) == 0) {
            std::unique_lock lock(m_mutex);
            const auto fenceAt = [&] { return std::find(m_ports.begin(), m_ports.end(), own.sin_port); };
            const auto fenceTaken = [&] { return fenceAt() != m_ports.end(); };
            if (m_taken.wait_for(lock, std::chrono::milliseconds(kLogTimeoutMs), fenceTaken))
                before = int(fenceAt() - m_ports.begin());
        }
        close(fence);
        return before;
    }

private:
    static sockaddr_in Port80(in_addr_t host)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(host);
        address.sin_port = htons(80);
        return address;
    }

    void HangUpOnEach()
    {
        for (;;) {
            sockaddr_in peer{};
            socklen_t length = sizeof peer;
            const int connection = accept(m_socket, reinterpret_cast<sockaddr *>(&peer), &length);
            if (connection < 0)
                return;
            close(connection);
            const std::lock_guard lock(m_mutex);
            m_ports.push_back(peer.sin_port);
            m_taken.notify_all();
        }
    }

    const int m_socket;
    std::thread m_taker;
    std::mutex m_mutex;
    std::condition_variable m_taken;
    std::vector<in_port_t> m_ports; // the peers' ports, in the order taken
};

class CamApiLab : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_oneMib = std::make_unique<lab::LabFile>(std::string(CVantoHttpApi::kMaxResponseBytes, 'a'));
        s_overOneMib = std::make_unique<lab::LabFile>(std::string(CVantoHttpApi::kMaxResponseBytes + 1, 'a'));
        std::vector<std::unique_ptr<lab::LabFile>> bodies;
        std::string file;
        for (std::size_t i = 0; i < std::size(kCameras); ++i) {
            const CameraCase &c = kCameras[i];
            char mac[40];
            std::snprintf(mac, sizeof mac, "02:00:00:00:01:%02zX", i);
            file += std::string("[camera]\nmac = ") + mac + "\nip = " + CameraIp(c.name) + "\n" + c.keys + "\n";
            if (c.body)
                s_bodies.push_back(std::make_unique<lab::LabFile>(c.body));
            const lab::LabFile *body = c.body                        ? s_bodies.back().get()
                                   : std::string(c.name) == "one-mib"      ? s_oneMib.get()
                                   : std::string(c.name) == "over-one-mib" ? s_overOneMib.get()
                                                                           : nullptr;
            if (body)
                file += "http_body = " + body->Path() + "\n";
        }
        s_config = std::make_unique<lab::LabFile>(file);
        s_camsim = std::make_unique<CamsimProcess>(std::vector<std::string>{"--config", s_config->Path()});
    }
    static void TearDownTestSuite()
    {
        s_camsim.reset();
        s_config.reset();
        s_bodies.clear();
        s_oneMib.reset();
        s_overOneMib.reset();
    }

    static API_RESULT Get(const std::string &camera, std::string &response, const std::string &user = "admin",
                          const std::string &password = "vqxnt")
    {
        CVantoHttpApi api;
        api.SetHost(CCameraAddress::FromText(CameraIp(camera)));
        api.SetCredentials(user, password);
        return api.SendRequest(kViewPage, response);
    }

    // The apply requests camsim logged for the camera, all of them or those with this query's tail.
    static int ApplyRequests(const std::string &camera, const std::string &tail = "")
    {
        return s_camsim->CountLog("ip=" + CameraIp(camera) +
                                  " port=80 user=admin page=basic.cgi query=msubmenu=video&action=apply" + tail);
    }
    static int RequestsTo(const std::string &camera) { return s_camsim->CountLog("ip=" + CameraIp(camera) + " "); }

    static std::unique_ptr<CamsimProcess> s_camsim;
    static std::unique_ptr<lab::LabFile> s_config;
    static std::vector<std::unique_ptr<lab::LabFile>> s_bodies;
    static std::unique_ptr<lab::LabFile> s_oneMib;
    static std::unique_ptr<lab::LabFile> s_overOneMib;
};

std::unique_ptr<CamsimProcess> CamApiLab::s_camsim;
std::unique_ptr<lab::LabFile> CamApiLab::s_config;
std::vector<std::unique_ptr<lab::LabFile>> CamApiLab::s_bodies;
std::unique_ptr<lab::LabFile> CamApiLab::s_oneMib;
std::unique_ptr<lab::LabFile> CamApiLab::s_overOneMib;

} // namespace

TEST_F(CamApiLab, AnswersAreSortedByStatusAndMarkers)
{
    struct Case {
        const char *camera;
        const char *password;
        std::int32_t code;
        const char *message;
    };
    const Case cases[] = {
        {"upper-ok", "vqxnt", API_SUCCESS, "Success."},
        {"upper-ng", "vqxnt", API_FAIL, "Fail."},
        {"both", "vqxnt", API_SUCCESS, "Success."},
        {"no-marker", "vqxnt", API_SUCCESS, "Success."},
        {"empty", "vqxnt", API_SUCCESS, "Success."},
        {"codec", "wrong", API_UNAUTHORIZED, "Unauthorized"},
        {"plain-401", "wrong", API_UNAUTHORIZED, "Unauthorized"},
        {"error-500", "vqxnt", API_FAIL, "Fail."},
        {"one-mib", "vqxnt", API_SUCCESS, "Success."},
    };
    for (const Case &c : cases) {
        std::string response = "untouched";
        const API_RESULT result = Get(c.camera, response, "admin", c.password);
        EXPECT_EQ(result.nCode, c.code) << c.camera;
        EXPECT_EQ(result.strMessage, c.message) << c.camera;
        EXPECT_EQ(result.nCurlCode, 0) << c.camera;
        EXPECT_NE(response, "untouched") << c.camera << ": a completed transfer hands over its body";
    }
    std::string response;
    Get("both", response);
    EXPECT_EQ(response, "ng\r\nok\r\n") << "the body exactly as sent, nothing added";
}

// A body that arrives in many small pieces reads exactly as one sent at once: no
// codec line is split, so the codec-3 channel is still found.
TEST_F(CamApiLab, BodyInSmallPiecesReadsAsWhole)
{
    std::string slow, reference;
    ASSERT_EQ(Get("slow", slow).nCode, API_SUCCESS);
    ASSERT_EQ(Get("reference", reference).nCode, API_SUCCESS);
    EXPECT_EQ(slow, reference);
    EXPECT_GT(s_camsim->CountLog("ip=" + CameraIp("slow")), 0);

    CVantoHttpApi api;
    api.SetHost(CCameraAddress::FromText(CameraIp("slow")));
    api.SetCredentials("admin", "vqxnt");
    VIDEO_CONFIG records[VIDEO_CONFIG_MAX_RECORDS] = {};
    std::int32_t count = -1;
    ASSERT_EQ(api.GetVideoConfig(records, sizeof records, count, -1).nCode, API_SUCCESS);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(records[0].codec, 3);
    EXPECT_EQ(records[1].codec, 1);
    EXPECT_EQ(records[1].channel_no, 1);
}

TEST_F(CamApiLab, TooSmallBufferGetsTheCountAndNoRecord)
{
    CVantoHttpApi api;
    api.SetHost(CCameraAddress::FromText(CameraIp("reference")));
    api.SetCredentials("admin", "vqxnt");
    unsigned char buffer[80];
    std::fill(std::begin(buffer), std::end(buffer), 0xEE);
    std::int32_t count = -1;
    const API_RESULT result = api.GetVideoConfig(buffer, 79, count, -1);
    EXPECT_EQ(result.nCode, API_BUFFER_TOO_SMALL);
    EXPECT_EQ(result.strMessage, "Buffer size not enough.");
    EXPECT_EQ(count, 2);
    EXPECT_TRUE(std::all_of(std::begin(buffer), std::end(buffer), [](unsigned char b) { return b == 0xEE; }));
}

TEST_F(CamApiLab, FailedTransfersAreNetworkErrorsAndKeepTheResponse)
{
    struct Case {
        const char *what;
        std::string host;
        std::string user;
    };
    const Case cases[] = {
        {"nothing listening", CamsimProcess::ToolAddress(), "admin"},
        {"endless body", CameraIp("endless"), "admin"},
        {"body over 1 MiB", CameraIp("over-one-mib"), "admin"},
        {"CR LF in the user ID", CameraIp("codec"), "admin\r\nX-Injected: 1"},
    };
    const int codecRequestsBefore = RequestsTo("codec");
    for (const Case &c : cases) {
        CVantoHttpApi api;
        api.SetHost(CCameraAddress::FromText(c.host));
        api.SetCredentials(c.user, "vqxnt");
        std::string response = "kept";
        const API_RESULT result = api.SendRequest(kViewPage, response);
        EXPECT_EQ(result.nCode, API_NETWORK_ERROR) << c.what;
        EXPECT_EQ(result.strMessage, "Network error.") << c.what;
        EXPECT_EQ(response, "kept") << c.what;
    }
    // Nothing of the refused texts reached camsim, which logs requests in order: once
    // the fence after them is logged, theirs would be too.
    const int fencesBefore = RequestsTo("upper-ok");
    std::string fence;
    ASSERT_EQ(Get("upper-ok", fence).nCode, API_SUCCESS);
    ASSERT_TRUE(s_camsim->WaitForLog("ip=" + CameraIp("upper-ok") + " ", kLogTimeoutMs, fencesBefore + 1));
    EXPECT_EQ(s_camsim->CountLog("X-Injected"), 0);
    EXPECT_EQ(RequestsTo("codec"), codecRequestsBefore);
}

TEST_F(CamApiLab, ColonInUserIdIsPartOfIt)
{
    std::string response;
    EXPECT_EQ(Get("codec", response, "admin:vqxnt", "x").nCode, API_UNAUTHORIZED);
    EXPECT_TRUE(s_camsim->WaitForLog("user=admin:vqxnt ", kLogTimeoutMs)) << "the user ID arrived whole";
}

TEST_F(CamApiLab, LoginCheckSwitchesEveryCodec3ChannelToCodec1)
{
    Observed observed;
    EXPECT_TRUE(CheckLoginAndUpdateCodec(CameraIp("codec"), "admin", "vqxnt"));
    EXPECT_TRUE(observed.boxes.empty());
    EXPECT_EQ(ApplyRequests("codec"), 2);
    EXPECT_EQ(ApplyRequests("codec", "&channel_no=0&codec=1 "), 1);
    EXPECT_EQ(ApplyRequests("codec", "&channel_no=1&codec=1 "), 1);
    const std::vector<std::string> expected = {"ok\r\n", "-------------------", "Success.",
                                               "ok\r\n", "-------------------", "Success."};
    EXPECT_EQ(observed.debug, expected);

    CVantoHttpApi api;
    api.SetHost(CCameraAddress::FromText(CameraIp("codec")));
    api.SetCredentials("admin", "vqxnt");
    VIDEO_CONFIG records[VIDEO_CONFIG_MAX_RECORDS] = {};
    std::int32_t count = 0;
    ASSERT_EQ(api.GetVideoConfig(records, sizeof records, count, -1).nCode, API_SUCCESS);
    ASSERT_EQ(count, 3);
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(records[i].codec, 1) << "channel " << i << " on the camera";

    // Nothing left to switch: the same check sends no write.
    EXPECT_TRUE(CheckLoginAndUpdateCodec(CameraIp("codec"), "admin", "vqxnt"));
    EXPECT_EQ(ApplyRequests("codec"), 2);
}

TEST_F(CamApiLab, OneRefusedCodecWriteFailsTheCheckOnceAfterAllWrites)
{
    Observed observed;
    const LoginCheckResult check = CheckLoginAndUpdateCodec(CameraIp("locked"), "admin", "vqxnt");
    EXPECT_FALSE(check);
    EXPECT_EQ(LoginCheckMessage(check), "Update codec failed.");
    EXPECT_TRUE(observed.boxes.empty()) << "the caller tells the user";
    EXPECT_EQ(ApplyRequests("locked"), 2) << "the refused write does not stop the loop";
}

TEST_F(CamApiLab, LoginCheckFailuresAndTheDefaultLoginTest)
{
    Observed observed;
    EXPECT_TRUE(CheckLoginAndUpdateCodec(CameraIp("empty"), "admin", "vqxnt")) << "no channel, nothing to switch";
    EXPECT_FALSE(CheckLoginAndUpdateCodec(CameraIp("reference"), "admin", "")) << "empty password";
    EXPECT_TRUE(observed.boxes.empty());

    EXPECT_FALSE(CheckLoginAndUpdateCodec(CameraIp("reference"), "admin", "wrong"));
    EXPECT_EQ(observed.debug, std::vector<std::string>{"api.GetVideoConfig error."});

    const std::vector<std::string> told = {
        LoginCheckMessage(CheckLoginAndUpdateCodec(CameraIp("upper-ng"), "admin", "vqxnt")),
        LoginCheckMessage(CheckLoginAndUpdateCodec(CameraIp("plain-401"), "admin", "wrong")),
        LoginCheckMessage(CheckLoginAndUpdateCodec(CamsimProcess::ToolAddress(), "admin", "vqxnt")),
    };
    EXPECT_EQ(told, (std::vector<std::string>{"Fail.", "Unauthorized", "Network error."}));
    EXPECT_TRUE(observed.boxes.empty()) << "the caller tells the user";

    EXPECT_TRUE(AcceptsDefaultLogin(CameraIp("reference")));
    EXPECT_TRUE(AcceptsDefaultLogin(CameraIp("upper-ng"))) << "only a refusal or no answer count";
    EXPECT_FALSE(AcceptsDefaultLogin(CamsimProcess::ToolAddress()));
    EXPECT_TRUE(observed.boxes.empty()) << "the default-login test never shows a box";
}

// A proxy named by the environment would see the new password in the query: requests
// go straight to the camera whatever it says.
TEST_F(CamApiLab, ProxyOfTheEnvironmentIsNeverUsed)
{
    const int proxy = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(proxy, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(listen(proxy, 8), 0);
    ASSERT_EQ(getsockname(proxy, reinterpret_cast<sockaddr *>(&address), &length), 0);
    const std::string proxyUrl = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    for (const char *variable : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
        setenv(variable, proxyUrl.c_str(), 1);

    const API_RESULT changed = ChangeCameraPassword(CameraIp("proxied"), "admin", "vqxnt", "Proxied-pass-1");
    for (const char *variable : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
        unsetenv(variable);
    EXPECT_EQ(changed.nCode, API_SUCCESS) << changed.strMessage;
    EXPECT_TRUE(changed.bLoginAsked);
    EXPECT_EQ(s_camsim->CountLog("ip=" + CameraIp("proxied") + " port=80 user=admin page=system.cgi"), 1)
        << "the change reached the camera";
    pollfd waiting{proxy, POLLIN, 0};
    EXPECT_EQ(poll(&waiting, 1, 0), 0) << "the proxy was called";
    close(proxy);
}

// A camera may report, where its address belongs, a text that names something else: a
// port, a login, a path, a host name, or its number spelled the way some readers take it.
// No part that dials a camera or opens its page sends anything then, and each says
// why; neither camsim's camera that the text would reach nor this side's port 80 sees a
// request before its fence.
TEST_F(CamApiLab, AnAddressThatIsNoDottedQuadGetsNoRequest)
{
    const std::string ip = CameraIp("spelled-otherwise");
    ASSERT_EQ(ip, "10.77.0.26") << "the other spellings below name this camera";
    const std::string madeUp[] = {
        ip + ":80", "admin:x@" + ip, ip + "/x?", ip + "#", " " + ip, ip + " ", ip + ".", ip + ".5",
        ip + std::string(1, '\0') + "x", ip + "\r\nX-Injected: 1", "10.77.0.032" /* octal 26 */, "0xa.77.0.26",
        "10.77.26", "172818458", "%31%30.77.0.26", "localhost", "127.1", "0", "127.0.0.1:80", "[::1]",
        "::ffff:" + ip, "evil.example",
    };
    const std::string notIpv4 = "The camera's address is not an IPv4 address.";
    LocalWebPort local;
    const int requestsBefore = s_camsim->CountLog("http mac=");
    CScriptedUser user;
    for (const std::string &text : madeUp) {
        SCOPED_TRACE(testing::PrintToString(text));
        CVantoHttpApi api;
        api.SetHost(CCameraAddress::FromText(text));
        api.SetCredentials("admin", "vqxnt");
        std::string response = "kept";
        const API_RESULT results[] = {
            api.SendRequest(kViewPage, response),
            ReadCameraChannels(text, "admin", "vqxnt").result,
            CheckLoginAndUpdateCodec(text, "admin", "vqxnt").reading,
            ChangeCameraPassword(text, "admin", "vqxnt", "Made-up-pass-1"),
        };
        for (const API_RESULT &result : results) {
            EXPECT_EQ(result.nCode, API_NETWORK_ERROR);
            EXPECT_EQ(result.strMessage, notIpv4);
        }
        EXPECT_EQ(response, "kept");
        EXPECT_FALSE(AcceptsDefaultLogin(text));
        OpenCameraWebPage(user, text, false, 80);
        OpenCameraWebPage(user, text, true, 80);
    }
    EXPECT_TRUE(user.openedPages.empty());
    EXPECT_EQ(user.messages, std::vector<std::string>(2 * std::size(madeUp),
                                                      "The camera's address is not an IPv4 address: its web page "
                                                      "is not opened."));

    const int fencesBefore = RequestsTo("upper-ok");
    std::string fence;
    ASSERT_EQ(Get("upper-ok", fence).nCode, API_SUCCESS);
    ASSERT_TRUE(s_camsim->WaitForLog("ip=" + CameraIp("upper-ok") + " ", kLogTimeoutMs, fencesBefore + 1));
    EXPECT_EQ(s_camsim->CountLog("http mac=") - requestsBefore, RequestsTo("upper-ok") - fencesBefore)
        << "camsim logged a request besides the fence's";
    EXPECT_EQ(RequestsTo("spelled-otherwise"), 0);
    EXPECT_EQ(local.ConnectionsBeforeFence(), 0) << "requests reached this side's port 80";
}

// Runs once: the whole 40 s limit.
TEST_F(CamApiLab, SlowHangingCameraEndsAsNetworkErrorAtTheTotalLimit)
{
    std::string response = "kept";
    const API_RESULT result = Get("hang", response);
    EXPECT_EQ(result.nCode, API_NETWORK_ERROR);
    EXPECT_EQ(result.nCurlCode, 28) << "CURLE_OPERATION_TIMEDOUT";
    EXPECT_EQ(response, "kept");
}
