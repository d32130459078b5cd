// Save to HALVEX through the real window against camsim in the lab: what the window
// hands over, and whether it ends. Read back from the store by a reader of the file
// format written apart from the product. What goes into the store, and when, is
// checked without a window in tests/lab/test_lab_actions.cpp.
#include "tests/gui/GuiTest.h"
#include "tests/support/ValuesFileReader.h"

#include <QLineEdit>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

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
    // The store the window is made with: the fixture reads its root then.
    void SetUp() override
    {
        char folder[] = "/tmp/lanscout-store-XXXXXX";
        ASSERT_NE(::mkdtemp(folder), nullptr);
        m_root = folder;
        ::setenv("LANSCOUT_REGISTRY_ROOT", m_root.c_str(), 1);
        CamerasWindowTest::SetUp();
        ASSERT_EQ(RowCount(), 3);
    }
    void TearDown() override
    {
        CamerasWindowTest::TearDown();
        fs::remove_all(m_root);
    }

    void SaveToHalvex() { QTest::mouseClick(window->Control(IDC_SAVE_TO_VMS), Qt::LeftButton); }
    void TypeHttpPort(const char *text) { Get<QLineEdit>(IDC_HTTP_PORT)->setText(QString::fromLatin1(text)); }
    // A plain file where the store's folder should be, and back.
    void BlockStore()
    {
        fs::remove_all(m_root);
        std::ofstream(m_root) << "a file where the store should be";
    }
    void UnblockStore() { fs::remove(m_root); }
    const std::string &StoreRoot() const { return m_root; }
    bool WindowEnded() const { return !window->isVisible() && window->result() == QDialog::Accepted; }

    std::vector<regfile::Value> HandedOver() const
    {
        std::ifstream in(m_root + "/HKEY_LOCAL_MACHINE/SOFTWARE/Brenmark/Halvex DVR/PELMTempSettings/values.reg",
                         std::ios::binary);
        const auto file = regfile::ParseValuesFile(std::string(std::istreambuf_iterator<char>(in), {}));
        EXPECT_TRUE(file.has_value()) << "values.reg is missing or not whole";
        return file ? file->values : std::vector<regfile::Value>{};
    }
    static std::vector<regfile::Value> Expected(const std::string &ip, const std::string &user,
                                                const std::string &password, std::uint32_t port)
    {
        using regfile::Kind;
        return {{"IPCameraNeedSaveToHalvex", Kind::Dword, Dword(1)},
                {"IPCameraAddress", Kind::Sz, Sz(ip)},
                {"IPCameraUserName", Kind::Sz, Sz(user)},
                {"IPCameraPassword", Kind::Sz, Sz(password)},
                {"IPCameraHTTPPort", Kind::Dword, Dword(port)}};
    }

private:
    std::string m_root;
};

} // namespace

// The address and login of the edits, with the HTTP port the camera reported (a port
// typed in its edit is not what the camera serves on).
TEST_F(HandOver, HandsOverTheEditsAndEnds)
{
    ClickCamera(kSiteCamera);
    Login("admin", "Site-pass-1");
    TypeHttpPort("1234");
    SaveToHalvex();
    EXPECT_TRUE(messages.boxes.empty()) << messages.Texts().front();
    EXPECT_TRUE(WindowEnded());
    EXPECT_EQ(HandedOver(), Expected(kSiteCamera, "admin", "Site-pass-1", 8080));
}

// A hand-over that did not reach the store is not reported as done: the window stays,
// and says why.
TEST_F(HandOver, FailedHandOverIsToldAndTheWindowStays)
{
    struct Case {
        const char *what;
        std::function<void()> obstruct;
        std::string told; // within the one box shown
    };
    const Case cases[] = {
        {"store blocked", [&] { BlockStore(); }, "The camera was not handed over to HALVEX: " + StoreRoot()},
        {"no address", [&] { Get<QLineEdit>(IDC_IP)->clear(); }, "Please select a camera to save again."},
    };
    ClickCamera(kSiteCamera);
    Login("admin", "Site-pass-1");
    for (const Case &c : cases) {
        messages.boxes.clear();
        c.obstruct();
        SaveToHalvex();
        ASSERT_EQ(messages.boxes.size(), 1u) << c.what;
        EXPECT_NE(messages.boxes[0].text.find(c.told), std::string::npos) << messages.boxes[0].text;
        EXPECT_FALSE(WindowEnded()) << c.what;
    }
}

// After the forced change the camera takes only the new password: a save stopped after
// it hands over the login the edits then hold, the factory user with the new password.
TEST_F(HandOver, SaveStoppedAfterAPasswordChangeHandsOverTheNewLoginNextTime)
{
    PasswordDialogAnswerer answerer([](CChangePwdDlg &d) { TypeNewPassword(d, kNewPassword); });
    struct Case {
        std::string camera;
        const char *stop; // within the box that stops the first save
        std::function<void()> obstruct, clear;
    };
    const Case cases[] = {
        {kFactoryCamera, "Enter an integer.", [&] { TypeHttpPort("abc"); }, [&] { TypeHttpPort("80"); }},
        {kSecondFactory, "not handed over", [&] { BlockStore(); }, [&] { UnblockStore(); }},
    };
    for (const Case &c : cases) {
        if (&c != cases)
            RestartWindow();
        messages.boxes.clear();
        ClickCamera(c.camera);
        Login("installer", "");
        c.obstruct();
        SaveToHalvex();
        ASSERT_EQ(messages.boxes.size(), 3u) << c.stop;
        EXPECT_EQ(messages.boxes[0].text, "Please change the default password.");
        EXPECT_EQ(messages.boxes[1].text, "Password is changed successfully!");
        EXPECT_NE(messages.boxes[2].text.find(c.stop), std::string::npos) << messages.boxes[2].text;
        EXPECT_EQ(Get<QLineEdit>(IDC_USER_ID)->text().toStdString() + " " +
                      Get<QLineEdit>(IDC_PASSWORD)->text().toStdString(),
                  "admin " + kNewPassword);
        c.clear();
        SaveToHalvex();
        EXPECT_TRUE(WindowEnded()) << c.stop;
        EXPECT_EQ(HandedOver(), Expected(c.camera, "admin", kNewPassword, 80)) << c.stop;
    }
}
