// Save to HALVEX through the real window against camsim in the lab, read back from the
// hive by a reader of the file format written apart from the product.
#include "tests/gui/GuiTest.h"
#include "tests/support/ValuesFileReader.h"

#include <QLineEdit>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

namespace regfile {

// A failure names each value and shows its bytes.
void PrintTo(const Value &value, std::ostream *out)
{
    *out << value.name << " = " << ::testing::PrintToString(value.bytes);
}

} // namespace regfile

namespace {

namespace fs = std::filesystem;

const std::string kSiteCamera = "10.77.0.10";    // admin / Site-pass-1, HTTP port 8080
const std::string kFactoryCamera = "10.77.0.11"; // admin / vqxnt
const std::string kSecondFactory = "10.77.0.12"; // admin / vqxnt
const char *const kCameras = "[camera]\nmac = 02:00:00:00:05:00\nip = 10.77.0.10\npassword = Site-pass-1\n"
                             "http_port = 8080\n"
                             "[camera]\nmac = 02:00:00:00:05:01\nip = 10.77.0.11\n"
                             "[camera]\nmac = 02:00:00:00:05:02\nip = 10.77.0.12\n";
const std::string kNewPassword = "Fresh-pass-9";

std::string Sz(const std::string &text)
{
    return text + '\0';
}

std::string Dword(std::uint32_t value)
{
    return {char(value & 0xFF), char(value >> 8 & 0xFF), char(value >> 16 & 0xFF), char(value >> 24)};
}

class HandOver : public CamerasWindowTest {
protected:
    HandOver() : CamerasWindowTest(kCameras) {}
    void SetUp() override
    {
        char hive[] = "/tmp/lanscout-hive-XXXXXX";
        ASSERT_NE(::mkdtemp(hive), nullptr);
        m_hive = hive;
        ::setenv("LANSCOUT_REGISTRY_ROOT", m_hive.c_str(), 1);
        CamerasWindowTest::SetUp();
        ASSERT_EQ(window->RowCount(), 3);
    }
    void TearDown() override
    {
        CamerasWindowTest::TearDown();
        fs::remove_all(m_hive);
    }

    void SaveToHalvex() { QTest::mouseClick(window->Control(IDC_SAVE_TO_VMS), Qt::LeftButton); }
    void TypeHttpPort(const char *text) { window->Control(IDC_HTTP_PORT)->setProperty("text", QString::fromLatin1(text)); }
    // Points the hand-over at a plain file where the hive's folder should be.
    static std::string BlockHive()
    {
        const std::string blocked = std::string(std::getenv("LANSCOUT_REGISTRY_ROOT")) + "/not-a-folder";
        std::ofstream(blocked) << "a file where the hive should be";
        ::setenv("LANSCOUT_REGISTRY_ROOT", blocked.c_str(), 1);
        return blocked;
    }
    bool WindowEnded() const { return !window->isVisible() && window->result() == QDialog::Accepted; }

    std::vector<regfile::Value> HandedOver() const
    {
        std::ifstream in(m_hive + "/HKEY_LOCAL_MACHINE/SOFTWARE/Brenmark/Halvex DVR/PELMTempSettings/values.reg",
                         std::ios::binary);
        const auto file = regfile::ParseValuesFile(std::string(std::istreambuf_iterator<char>(in), {}));
        EXPECT_TRUE(file.has_value()) << "values.reg is missing or not whole";
        if (!file)
            return {};
        EXPECT_EQ(file->key, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Brenmark\\Halvex DVR\\PELMTempSettings");
        return file->values;
    }
    static std::vector<regfile::Value> Expected(std::uint32_t flag, const std::string &ip, const std::string &user,
                                                const std::string &password, std::uint32_t port)
    {
        using regfile::Kind;
        return {{"IPCameraNeedSaveToHalvex", Kind::Dword, Dword(flag)},
                {"IPCameraAddress", Kind::Sz, Sz(ip)},
                {"IPCameraUserName", Kind::Sz, Sz(user)},
                {"IPCameraPassword", Kind::Sz, Sz(password)},
                {"IPCameraHTTPPort", Kind::Dword, Dword(port)}};
    }

private:
    std::string m_hive;
};

} // namespace

TEST_F(HandOver, WritesTheFiveValuesInOrderAndEnds)
{
    EXPECT_EQ(HandedOver(), (std::vector<regfile::Value>{{"IPCameraNeedSaveToHalvex", regfile::Kind::Dword,
                                                           Dword(0)}}))
        << "every start clears the flag";
    ClickCamera(kSiteCamera);
    Login("admin", "Site-pass-1");
    window->Control(IDC_HTTP_PORT)->setProperty("text", QStringLiteral("1234")); // typed, never read back
    SaveToHalvex();
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().front();
    EXPECT_TRUE(WindowEnded());
    EXPECT_EQ(HandedOver(), Expected(1, kSiteCamera, "admin", "Site-pass-1", 8080));

    // The next start clears the flag and keeps the camera.
    CLanscoutDlg restarted;
    EXPECT_EQ(HandedOver(), Expected(0, kSiteCamera, "admin", "Site-pass-1", 8080));
}

TEST_F(HandOver, EmptyAddressWritesNothing)
{
    ClickCamera(kSiteCamera);
    Login("admin", "Site-pass-1");
    window->m_editIP->clear();
    SaveToHalvex();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Please select a camera to save again."});
    EXPECT_FALSE(WindowEnded());
    EXPECT_EQ(HandedOver().size(), 1u);
}

TEST_F(HandOver, FactoryPasswordIsReplacedBeforeTheHandOver)
{
    PasswordDialogAnswerer answerer([](CChangePwdDlg &d) { TypeNewPassword(d, kNewPassword); });
    ClickCamera(kFactoryCamera);
    Login("installer", "");
    SaveToHalvex();
    ASSERT_EQ(answerer.opened.size(), 1u);
    EXPECT_EQ(answerer.opened[0].user + "/" + answerer.opened[0].password, "admin/vqxnt");
    const std::vector<std::string> shown = {"Please change the default password.", "Password is changed successfully!"};
    EXPECT_EQ(messages.Texts(), shown);
    EXPECT_TRUE(WindowEnded());
    EXPECT_EQ(HandedOver(), Expected(1, kFactoryCamera, "admin", kNewPassword, 80)) << "the user it was changed for";
}

// After the change the camera takes only the new password: a save stopped after it
// hands that over, with the user it was changed for, when the user tries again.
TEST_F(HandOver, SaveStoppedAfterAPasswordChangeHandsOverTheNewLoginNextTime)
{
    PasswordDialogAnswerer answerer([](CChangePwdDlg &d) { TypeNewPassword(d, kNewPassword); });
    const std::string hive = std::getenv("LANSCOUT_REGISTRY_ROOT");
    struct Case {
        std::string camera;
        const char *stop; // within the message that stops the first save
        std::function<void()> obstruct, clear;
    };
    const Case cases[] = {
        {kFactoryCamera, "Enter an integer.", [&] { TypeHttpPort("abc"); }, [&] { TypeHttpPort("80"); }},
        {kSecondFactory, "not handed over", [&] { BlockHive(); },
         [&] { ::setenv("LANSCOUT_REGISTRY_ROOT", hive.c_str(), 1); }},
    };
    for (const Case &c : cases) {
        messages.boxes.clear();
        ClickCamera(c.camera);
        Login("installer", "");
        c.obstruct();
        SaveToHalvex();
        ASSERT_EQ(messages.boxes.size(), 3u) << c.stop;
        EXPECT_EQ(messages.boxes[1].text, "Password is changed successfully!");
        EXPECT_NE(messages.boxes[2].text.find(c.stop), std::string::npos) << messages.boxes[2].text;
        c.clear();
        SaveToHalvex();
        EXPECT_TRUE(WindowEnded()) << c.stop;
        EXPECT_EQ(HandedOver(), Expected(1, c.camera, "admin", kNewPassword, 80)) << c.stop;
        RestartWindow();
    }
}

// A hand-over that did not reach the hive is not reported as done: the window stays,
// and says where it tried to write.
TEST_F(HandOver, UnwritableHiveIsReportedAndTheWindowStays)
{
    const std::string blocked = BlockHive();
    ClickCamera(kSiteCamera);
    Login("admin", "Site-pass-1");
    SaveToHalvex();
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_NE(messages.boxes[0].text.find("not handed over"), std::string::npos) << messages.boxes[0].text;
    EXPECT_NE(messages.boxes[0].text.find(blocked), std::string::npos) << messages.boxes[0].text;
    EXPECT_FALSE(WindowEnded());
}
