#pragma once
// Shared pieces of the GUI tests: the real main window, built offscreen inside the
// lab, with the message boxes answered by the test.

#include "app/Dialogs.h"
#include "app/LanscoutDlg.h"
#include "platform/MessageBox.h"
#include "vms/HandOver.h"
#include "tests/lab/CamsimProcess.h"
#include "tests/lab/EventPump.h"
#include "tests/lab/LabFile.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <QTableView>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Records every message box while it lives and answers each with `answer`.
class MessageRecorder final {
public:
    explicit MessageRecorder(int answer = ANSWER_OK);
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    std::vector<MessageRequest> boxes;
    std::vector<std::string> Texts() const;

private:
    MessageBoxHandler m_previous;
};

// Answers each password dialog that opens: `answer` runs inside the dialog's modal
// loop. What the dialog was opened with is kept for the test.
class PasswordDialogAnswerer final {
public:
    explicit PasswordDialogAnswerer(std::function<void(CChangePwdDlg &)> answer);

    struct Opened {
        std::string ip, user, password;
    };
    std::vector<Opened> opened;

private:
    std::function<void(CChangePwdDlg &)> m_answer;
    QTimer m_poll;
    QPointer<CChangePwdDlg> m_answered; // null once it is gone, so a new one at its address counts
};

// Answers for the password dialog: a new password typed twice and applied, or Cancel.
void TypeNewPassword(CChangePwdDlg &dialog, const std::string &password);
void Cancel(CChangePwdDlg &dialog);

// A created and shown main window, handing over to the store LANSCOUT_REGISTRY_ROOT names. The first search's worker waits for the window
// thread, and these tests let it run only where they say so (RunFirstSearchToEnd):
// until then the controls stay exactly as initialisation left them.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Lets the window thread serve the first search until it has ended.
    void RunFirstSearchToEnd();
    // The program closed and started again: a new window, after its first search.
    void RestartWindow();

    // The list view and what it shows.
    QTableView &List() const;
    int RowCount() const;
    std::string CellText(int row, int column) const;

    template <typename T>
    T *Get(int id) const
    {
        T *control = qobject_cast<T *>(window->Control(id));
        EXPECT_NE(control, nullptr) << "control " << id;
        return control;
    }

    MessageRecorder messages;
    // Names the files the window asks for; set before SetUp. Empty: the file dialog.
    FileAsker fileAsker;
    std::unique_ptr<CHandOverStore> store;
    std::unique_ptr<CLanscoutDlg> window;
};

// The window after its first search has listed the cameras of a camera file, which
// camsim plays in the lab; with the steps a user takes on a listed camera.
class CamerasWindowTest : public MainWindowTest {
protected:
    explicit CamerasWindowTest(std::string cameraFile) : m_cameraFile(std::move(cameraFile)) {}
    void SetUp() override;
    void TearDown() override;

    // The row that lists the address, clicked as the user clicks it.
    int RowOf(const std::string &ip) const;
    void ClickCamera(const std::string &ip);
    void Login(const std::string &user, const std::string &password);

    std::unique_ptr<CamsimProcess> camsim;

private:
    std::string m_cameraFile;
    std::unique_ptr<lab::LabFile> m_file;
};

// A camera's reply as the device list keeps it.
DISCOVERY_DATA CameraRecord(const std::string &mac, const std::string &ip, const std::string &product = "IPCAM",
                            const std::string &firmware = "1.0");
