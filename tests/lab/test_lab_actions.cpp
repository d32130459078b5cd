// The device actions and the Save to HALVEX hand-over without a window, against camsim
// in the lab: a scripted user and a scripted panel stand in for the window, and the
// search is opened on a plain socket. This program links no Qt.
//
// No test waits for silence: what must not be sent is followed by a fence, a reboot
// with a wrong login sent after it from the same socket. camsim handles datagrams in
// order, so once the fence is logged, whatever was sent before it is logged too. HTTP
// requests are logged before they are answered: they are in the log once an action
// has returned.
#include "camapi/LoginCheck.h"
#include "site/DeviceActions.h"
#include "inventory/DeviceCollection.h"
#include "tests/lab/CamsimProcess.h"
#include "tests/lab/LabFile.h"
#include "tests/lab/ScriptedUser.h"
#include "tests/lab/SearchWithoutWindow.h"
#include "tests/support/ValuesFileReader.h"
#include "site/HandOverCamera.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace regfile {

// A failure names each value and shows its bytes.
void PrintTo(const Value &value, std::ostream *out)
{
    *out << value.name << " = " << ::testing::PrintToString(value.bytes);
}

} // namespace regfile

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

struct LabCamera {
    std::string ip, mac;
};
const LabCamera kFactory{"10.77.0.10", "02:00:00:00:06:00"};       // admin / vqxnt, a codec-3 channel
const LabCamera kSecondFactory{"10.77.0.11", "02:00:00:00:06:01"}; // admin / vqxnt
const LabCamera kSite{"10.77.0.12", "02:00:00:00:06:02"};          // HTTP port 8080, a codec-3 channel
const LabCamera kSecondSite{"10.77.0.13", "02:00:00:00:06:03"};
const LabCamera kThirdSite{"10.77.0.14", "02:00:00:00:06:04"};
const LabCamera kLockedCodec{"10.77.0.15", "02:00:00:00:06:05"}; // its codec-3 channel refuses codec 1
const LabCamera kFence{"10.77.0.16", "02:00:00:00:06:06"};
const std::string kSitePassword = "Site-pass-1"; // of every camera not on the factory login
const char *const kCameras = "[camera]\nmac = 02:00:00:00:06:00\nip = 10.77.0.10\nchannels = 3\n"
                             "[camera]\nmac = 02:00:00:00:06:01\nip = 10.77.0.11\n"
                             "[camera]\nmac = 02:00:00:00:06:02\nip = 10.77.0.12\npassword = Site-pass-1\n"
                             "http_port = 8080\nchannels = 3,1\n"
                             "[camera]\nmac = 02:00:00:00:06:03\nip = 10.77.0.13\npassword = Site-pass-1\n"
                             "[camera]\nmac = 02:00:00:00:06:04\nip = 10.77.0.14\npassword = Site-pass-1\n"
                             "[camera]\nmac = 02:00:00:00:06:05\nip = 10.77.0.15\npassword = Site-pass-1\n"
                             "channels = 3\nlocked_channels = 0\n"
                             "[camera]\nmac = 02:00:00:00:06:06\nip = 10.77.0.16\npassword = Site-pass-1\n";
constexpr std::size_t kCameraCount = 7;

// The list, details panel and login edits as the user left them; what the actions do to
// them is kept in order.
class ScriptedPanel final : public IDevicePanel, public ICameraChoice {
public:
    CommandLogin login;
    NetworkSettings settings;
    int highlighted = 1;
    std::optional<Camera> camera;
    std::vector<Camera> chosen;
    std::vector<std::string> calls;

    CommandLogin Login() const override { return login; }
    void SetLogin(const CommandLogin &to) override
    {
        login = to;
        calls.push_back("SetLogin " + to.userId + " " + to.password);
    }
    void ClearPassword() override
    {
        login.password.clear();
        calls.push_back("ClearPassword");
    }
    std::optional<NetworkSettings> ReadSettings() override { return settings; }
    int HighlightedRows() const override { return highlighted; }
    std::optional<Camera> PanelCamera() const override { return camera; }
    std::vector<Camera> ChosenCameras() const override { return chosen; }
    void KeepSentSettings(const Camera &command) override
    {
        calls.push_back("KeepSentSettings " + command.mac + " " + command.ip + " " +
                        std::to_string(command.httpPort));
    }
};

class Actions : public ::testing::Test {
protected:
    void SetUp() override
    {
        camsim = std::make_unique<CamsimProcess>(std::vector<std::string>{"--config", m_cameraFile.Path()});
        auto socket = std::make_unique<CDatagramSocket>();
        m_receiver = socket.get();
        ASSERT_TRUE(search.Open(std::move(socket)));
        search.ChooseAdapter(CamsimProcess::ToolAddress());
        m_display.onSearch = [this] { panel.calls.push_back("Search"); };
        ASSERT_TRUE(search.Search());
        Show(kSite, {"admin", kSitePassword});
        panel.calls.clear();
    }

    // Serves the search, the first or one an action started, as the window's event loop
    // would, until it has ended with every camera listed.
    void ServeSearch()
    {
        const auto end = std::chrono::steady_clock::now() + 20s;
        while ((search.IsSearching() || listed.ListedDeviceCount() < kCameraCount) &&
               std::chrono::steady_clock::now() < end)
            if (m_receiver->WaitForDatagram(10ms))
                search.HandleDatagram();
        ASSERT_EQ(listed.ListedDeviceCount(), kCameraCount);
        ASSERT_FALSE(search.IsSearching());
    }

    // The camera as its reply listed it.
    Camera Listed(const LabCamera &camera) const
    {
        for (const Camera &listedCamera : listed.Devices())
            if (listedCamera.ip == camera.ip)
                return listedCamera;
        ADD_FAILURE() << camera.ip << " is not listed";
        return {};
    }
    // The camera clicked: in the panel with its own settings, the one highlighted and
    // chosen row; the login typed.
    void Show(const LabCamera &camera, const CommandLogin &login)
    {
        ServeSearch();
        const Camera shown = Listed(camera);
        panel.camera = shown;
        panel.chosen = {shown};
        panel.highlighted = 1;
        panel.login = login;
        panel.settings = {IP_MODE_STATIC,     camera.ip,           shown.subnetMask, shown.gateway,
                          shown.dns,          shown.httpPort,      shown.dataPort,   shown.rtspPort,
                          shown.audioRecvPort, shown.audioSendPort, shown.https};
    }

    // The commands camsim took from the actions, counted once a fence sent after them
    // has arrived.
    int CommandsAfterFence()
    {
        search.SendToEach(DISCOVERY_REBOOT, {Listed(kFence)}, {"fence", "fence"});
        ++m_fences;
        EXPECT_TRUE(camsim->WaitForLog("reboot mac=" + kFence.mac, 10000, m_fences)) << "the fence did not arrive";
        return camsim->CountLog("set-config mac=") + camsim->CountLog("reboot mac=") +
               camsim->CountLog("factory-reset mac=") - m_fences;
    }
    int HttpRequests() const { return camsim->CountLog(" http mac="); }
    // The last password dialog: the camera and the login it changes with.
    std::string LastDialog() const
    {
        if (user.passwordDialogs.empty())
            return "none";
        const CScriptedUser::PasswordDialog &d = user.passwordDialogs.back();
        return d.ip + " " + d.user + " " + d.password;
    }

    lab::LabFile m_cameraFile{kCameras};
    std::unique_ptr<CamsimProcess> camsim;
    CDeviceCollection listed;
    CScriptedUser user;
    ScriptedPanel panel;
    NoDisplay m_display;
    ShortClock m_clock;
    CDeviceSearch search{listed, m_display, user, m_clock};
    CDeviceActions actions{search, panel, panel, user};

private:
    CDatagramSocket *m_receiver = nullptr;
    int m_fences = 0;
};

using Act = std::function<void()>;

} // namespace

TEST_F(Actions, ChecksStopTheActionBeforeAnythingIsSent)
{
    const Act save = [&] { actions.Save(); }, reboot = [&] { actions.Reboot(); };
    const Act reset = [&] { actions.FactoryReset(); }, change = [&] { actions.ChangePassword(); };
    const Act confirm = [&] { EXPECT_FALSE(actions.ConfirmDefaultPassword()); };
    const Act sendSettings = [&] { actions.SendDeviceCommand(DISCOVERY_SET_CONFIG); };
    const Act sendReboot = [&] { actions.SendDeviceCommand(DISCOVERY_REBOOT); };
    const Act sendReset = [&] { actions.SendDeviceCommand(DISCOVERY_FACTORY_RESET); };
    struct Case {
        const char *what;
        std::function<void()> arrange;
        std::vector<Act> acts;
        const char *message;
    };
    const Case cases[] = {
        {"two rows highlighted", [&] { panel.highlighted = 2; }, {save, reboot, reset, change, confirm},
         "Please select only one device."},
        {"no row highlighted", [&] { panel.highlighted = 0; }, {save, reboot, reset, change},
         "Please select a device."},
        {"no camera in the panel", [&] { panel.camera.reset(); }, {save, reboot, reset, change},
         "Please select a device."},
        {"no password", [&] { panel.login.password.clear(); }, {save, reboot, reset, change},
         "Please check UserID or Password."},
        {"no user ID", [&] { panel.login.userId.clear(); }, {save, reboot, reset, change},
         "Please check UserID or Password."},
        {"settings without a camera", [&] { panel.camera.reset(); }, {sendSettings}, "Not Selected"},
        {"a user ID of spaces", [&] { panel.login.userId = "  "; }, {sendSettings, sendReboot, sendReset},
         "Check the \"User ID\" and \"Password\""},
        {"a password of spaces", [&] { panel.login.password = " "; }, {sendSettings, sendReboot, sendReset},
         "Check the \"User ID\" and \"Password\""},
        {"no camera chosen", [&] { panel.chosen.clear(); }, {sendReboot, sendReset}, "Not Checked"},
    };
    for (const Case &c : cases) {
        for (std::size_t i = 0; i < c.acts.size(); ++i) {
            Show(kSite, {"admin", kSitePassword});
            c.arrange();
            user.messages.clear();
            c.acts[i]();
            EXPECT_EQ(user.messages, std::vector<std::string>{c.message}) << c.what << ", action " << i;
        }
    }
    EXPECT_EQ(CommandsAfterFence(), 0);
    EXPECT_EQ(HttpRequests(), 0);
    EXPECT_TRUE(user.passwordDialogs.empty());
    EXPECT_TRUE(panel.calls.empty()) << panel.calls.front();
}

// The last search could not bind its adapter: no command can leave, and the user is told.
TEST_F(Actions, WithoutASendSocketTheUserIsTold)
{
    ASSERT_TRUE(search.BeginSearch());
    search.RunSweepThrough("10.77.3.250"); // no address of this computer
    ASSERT_FALSE(search.IsSearching());
    for (std::int32_t type : {DISCOVERY_SET_CONFIG, DISCOVERY_REBOOT, DISCOVERY_FACTORY_RESET}) {
        user.messages.clear();
        actions.SendDeviceCommand(type);
        EXPECT_EQ(user.messages, std::vector<std::string>{"Failed to create send socket."}) << "type " << type;
    }
    EXPECT_TRUE(panel.calls.empty()) << panel.calls.front();
}

TEST_F(Actions, FailedLoginCheckIsToldAndNothingIsSent)
{
    struct Case {
        LabCamera camera;
        std::string password;
        const char *message;
    };
    const Case cases[] = {
        {kSite, "not-the-password", "Unauthorized"},
        {kLockedCodec, kSitePassword, "Update codec failed."},
    };
    for (const Case &c : cases) {
        for (const Act &act : {Act([&] { actions.Save(); }), Act([&] { actions.Reboot(); }),
                               Act([&] { actions.ChangePassword(); })}) {
            Show(c.camera, {"admin", c.password});
            user.messages.clear();
            act();
            EXPECT_EQ(user.messages, std::vector<std::string>{c.message}) << c.camera.ip;
        }
    }
    EXPECT_EQ(CommandsAfterFence(), 0);
    EXPECT_TRUE(user.passwordDialogs.empty());
    EXPECT_TRUE(panel.calls.empty()) << panel.calls.front();
}

// The change is made for the factory user, whatever user ID was typed: the panel's login
// becomes that user with the new password, and the command carries it.
TEST_F(Actions, FactoryLoginIsReplacedFirstAndTheCommandCarriesTheNewOne)
{
    struct Case {
        const char *what;
        LabCamera camera;
        CommandLogin typed;
        Act act;
        std::string newPassword;
        std::string taken; // camsim's line for a command whose login it took
    };
    const Case cases[] = {
        {"Save", kFactory, {"admin", "vqxnt"}, [&] { actions.Save(); }, "Fresh-pass-1",
         "result mac=" + kFactory.mac + " result=0"},
        {"Factory Reset", kSecondFactory, {"installer", "Typed-pass-1"}, [&] { actions.FactoryReset(); },
         "Fresh-pass-2", "factory-reset mac=" + kSecondFactory.mac + " ip="},
    };
    for (const Case &c : cases) {
        Show(c.camera, c.typed);
        user = {};
        user.newPasswords = {c.newPassword};
        panel.calls.clear();
        c.act();
        ASSERT_FALSE(user.messages.empty()) << c.what;
        EXPECT_EQ(user.messages[0], "Please change the default password.") << c.what;
        EXPECT_EQ(user.passwordDialogs.size(), 1u) << c.what;
        EXPECT_EQ(LastDialog(), c.camera.ip + " admin vqxnt");
        ASSERT_FALSE(panel.calls.empty()) << c.what;
        EXPECT_EQ(panel.calls[0], "SetLogin admin " + c.newPassword);
        EXPECT_TRUE(camsim->WaitForLog(c.taken, 10000)) << c.what;
    }
}

TEST_F(Actions, CancelledPasswordChangeSendsNothing)
{
    Show(kFactory, {"admin", "vqxnt"});
    actions.Save();
    EXPECT_EQ(user.messages, std::vector<std::string>{"Please change the default password."});
    EXPECT_EQ(user.passwordDialogs.size(), 1u);
    EXPECT_TRUE(panel.calls.empty()) << panel.calls.front();
    EXPECT_EQ(CommandsAfterFence(), 0);
}

// The checks go to the panel's camera at the address it answered from, not to the new
// one the settings give it.
TEST_F(Actions, SaveSendsThePanelSettingsKeepsThemAndSearchesAnew)
{
    panel.settings.ip = "10.77.1.50";
    panel.settings.httpPort = 8081;
    actions.Save();
    EXPECT_TRUE(user.messages.empty()) << user.messages.front();
    const std::vector<std::string> calls = {"KeepSentSettings " + kSite.mac + " 10.77.1.50 8081", "Search",
                                            "ClearPassword"};
    EXPECT_EQ(panel.calls, calls);
    ASSERT_TRUE(camsim->WaitForLog("result mac=" + kSite.mac + " result=0", 10000));
    EXPECT_EQ(camsim->CountLog("set-config mac=" + kSite.mac + " user=admin mode=0 ip=10.77.1.50 http=8081"), 1);
    EXPECT_GT(HttpRequests(), 0);
    EXPECT_EQ(camsim->CountLog(" http mac=" + kSite.mac), HttpRequests());
}

TEST_F(Actions, RebootAndFactoryResetAskAndGoToEveryChosenCameraOnYes)
{
    struct Case {
        std::int32_t type;
        Act act;
        int answer;
        std::vector<LabCamera> chosen;
        const char *logged;
    };
    const Act reboot = [&] { actions.Reboot(); }, reset = [&] { actions.FactoryReset(); };
    const Case cases[] = {
        {DISCOVERY_REBOOT, reboot, ANSWER_NO, {kSite, kSecondSite}, "reboot mac="},
        {DISCOVERY_FACTORY_RESET, reset, ANSWER_NO, {kSite, kSecondSite}, "factory-reset mac="},
        {DISCOVERY_REBOOT, reboot, ANSWER_YES, {kSite, kSecondSite}, "reboot mac="},
        {DISCOVERY_FACTORY_RESET, reset, ANSWER_YES, {kThirdSite, kLockedCodec}, "factory-reset mac="},
    };
    for (const Case &c : cases) {
        Show(c.chosen[0], {"admin", kSitePassword});
        panel.chosen.clear();
        for (const LabCamera &camera : c.chosen)
            panel.chosen.push_back(Listed(camera));
        user.messages.clear();
        user.yesNoAnswer = c.answer;
        c.act();
        EXPECT_EQ(user.messages, std::vector<std::string>{ConfirmationText(c.type, panel.chosen)});
        CommandsAfterFence(); // whatever was sent has arrived
        for (const LabCamera &camera : c.chosen)
            EXPECT_EQ(camsim->CountLog(c.logged + camera.mac), c.answer == ANSWER_YES ? 1 : 0) << c.logged << camera.ip;
    }
    EXPECT_EQ(camsim->CountLog("silent-ms="), 4) << "every command carried the login";
}

// Its web side out of reach, a camera can still be reset: the reset is asked of no web page.
TEST_F(Actions, FactoryResetNeedsNoWebSide)
{
    // In the test's own namespace, for HTTP alone: the discovery broadcasts still reach it.
    ASSERT_EQ(std::system(("ip route add unreachable " + kThirdSite.ip + "/32").c_str()), 0);
    Show(kThirdSite, {"admin", kSitePassword});
    actions.FactoryReset();
    EXPECT_EQ(std::system(("ip route del unreachable " + kThirdSite.ip + "/32").c_str()), 0);
    EXPECT_EQ(user.messages, std::vector<std::string>{ConfirmationText(DISCOVERY_FACTORY_RESET, panel.chosen)});
    EXPECT_TRUE(camsim->WaitForLog("factory-reset mac=" + kThirdSite.mac + " ip=", 10000));
}

TEST_F(Actions, ChangePasswordAsksWithThePanelLoginAndEmptiesThePasswordAfterAChange)
{
    using Answer = std::optional<std::string>;
    for (const Answer &answer : {Answer(), Answer("Site-pass-2")}) {
        user.newPasswords = {answer};
        panel.calls.clear();
        actions.ChangePassword();
        EXPECT_EQ(LastDialog(), kSite.ip + " admin " + kSitePassword);
        EXPECT_EQ(panel.calls, answer ? std::vector<std::string>{"ClearPassword"} : std::vector<std::string>{});
    }
    EXPECT_EQ(camsim->CountLog("password mac=" + kSite.mac), 1);
}

namespace {

std::string Sz(const std::string &text)
{
    return text + '\0';
}

std::string Dword(std::uint32_t value)
{
    return {char(value & 0xFF), char(value >> 8 & 0xFF), char(value >> 16 & 0xFF), char(value >> 24)};
}

class HandOver : public Actions {
protected:
    void SetUp() override
    {
        char folder[] = "/tmp/lanscout-store-XXXXXX";
        ASSERT_NE(::mkdtemp(folder), nullptr);
        root = folder;
        Actions::SetUp();
    }
    void TearDown() override { fs::remove_all(root); }

    // What the management system reads: the hand-over key's values, as a reader of the
    // file format written apart from the product reads them.
    std::vector<regfile::Value> Stored() const
    {
        const std::string path = root + "/HKEY_LOCAL_MACHINE/SOFTWARE/Brenmark/Halvex DVR/PELMTempSettings/values.reg";
        const auto file = regfile::ParseValuesFile(lab::ReadFile(path));
        if (!file)
            return {};
        EXPECT_EQ(file->key, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Brenmark\\Halvex DVR\\PELMTempSettings");
        return file->values;
    }
    static std::vector<regfile::Value> Values(std::uint32_t flag, const std::string &ip, const std::string &user,
                                              const std::string &password, std::uint32_t port)
    {
        using regfile::Kind;
        return {{"IPCameraNeedSaveToHalvex", Kind::Dword, Dword(flag)},
                {"IPCameraAddress", Kind::Sz, Sz(ip)},
                {"IPCameraUserName", Kind::Sz, Sz(user)},
                {"IPCameraPassword", Kind::Sz, Sz(password)},
                {"IPCameraHTTPPort", Kind::Dword, Dword(port)}};
    }

    std::string root;
};

} // namespace

// Each camera goes over with the login it takes; one that is not handed over leaves
// the last one in the store.
TEST_F(HandOver, CameraIsHandedOverWithTheLoginItTakes)
{
    const CHandOverStore store(root);
    struct Case {
        const char *what;
        CameraHandOver camera;
        std::optional<std::string> newPassword;
        bool handedOver;
        std::vector<std::string> messages;
        std::vector<regfile::Value> stored;
        std::vector<std::string> panelCalls;
    };
    const std::vector<regfile::Value> site = Values(1, kSite.ip, "admin", kSitePassword, 8080);
    const std::vector<regfile::Value> changed = Values(1, kFactory.ip, "admin", "Fresh-pass-9", 80);
    const std::string change = "Please change the default password.";
    const Case cases[] = {
        {"no address", {"", "admin", kSitePassword, 80}, {}, false, {"Please select a camera to save again."}, {}, {}},
        {"site camera", {kSite.ip, "admin", kSitePassword, 8080}, {}, true, {}, site, {}},
        {"change cancelled", {kFactory.ip, "admin", "vqxnt", 80}, {}, false, {change}, site, {}},
        {"factory camera", {kFactory.ip, "installer", "", 80}, "Fresh-pass-9", true, {change}, changed,
         {"SetLogin admin Fresh-pass-9"}},
    };
    for (const Case &c : cases) {
        user = {};
        user.newPasswords = {c.newPassword};
        panel.calls.clear();
        EXPECT_EQ(HandOverCamera(store, user, panel, c.camera), c.handedOver) << c.what;
        EXPECT_EQ(user.messages, c.messages) << c.what;
        EXPECT_EQ(Stored(), c.stored) << c.what;
        EXPECT_EQ(panel.calls, c.panelCalls) << c.what;
    }
    // The login check ran for its codec switch, with the factory login before the change.
    for (const LabCamera &camera : {kSite, kFactory})
        EXPECT_EQ(camsim->CountLog("apply mac=" + camera.mac + " channel=0 codec=1 result=ok"), 1) << camera.ip;

    // Every start of the program does this (app/main.cpp; tests/package/store_traps.sh
    // starts the installed program): the management system takes no camera it was not
    // given since, and the last camera stays.
    ASSERT_TRUE(store.ClearRequest().written);
    EXPECT_EQ(Stored(), Values(0, kFactory.ip, "admin", "Fresh-pass-9", 80));
}

// A hand-over that did not reach the store is not reported as done, and the user is
// told where it was to go.
TEST_F(HandOver, StoreThatCannotBeWrittenIsTold)
{
    const std::string blocked = root + "/not-a-folder";
    std::ofstream(blocked) << "a file where the store should be";
    EXPECT_FALSE(HandOverCamera(CHandOverStore(blocked), user, panel, {kSite.ip, "admin", kSitePassword, 8080}));
    ASSERT_EQ(user.messages.size(), 1u);
    const std::string &shown = user.messages[0];
    EXPECT_TRUE(shown.starts_with("The camera was not handed over to HALVEX: ")) << shown;
    EXPECT_NE(shown.find(blocked), std::string::npos) << shown;
    EXPECT_TRUE(shown.ends_with(".")) << shown;
}
