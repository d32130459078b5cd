#pragma once
// Shared by the window tests: a recorder that answers message boxes, and event pumps
// that wait without spinning.

#include "app/LanscoutDlg.h"
#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

class MessageRecorder final {
public:
    MessageRecorder()
    {
        m_previous = SetMessageBoxHandler([this](const MessageRequest &request) {
            messages.push_back(request.text);
            captions.push_back(request.caption);
            icons.push_back(request.icon);
            return request.buttons == MessageButtons::YesNo ? (answerYes ? IDYES : IDNO) : IDOK;
        });
    }
    ~MessageRecorder() { SetMessageBoxHandler(std::move(m_previous)); }

    std::vector<std::string> messages;
    std::vector<std::string> captions;
    std::vector<MessageIcon> icons;
    bool answerYes = true;

private:
    MessageBoxHandler m_previous;
};

inline void ProcessEventsUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    QTimer tick; // wakes the wait now and then, so the loop itself never spins
    tick.start(10);
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

inline void ProcessEventsFor(int ms)
{
    ProcessEventsUntil([] { return false; }, ms);
}

inline void WaitForSweepEnd(const CLanscoutDlg &window)
{
    ProcessEventsUntil([&] { return !window.IsSweepRunning(); }, 15000);
    ProcessEventsFor(50);
}

// A camera record as a camera sends it, built field by field by the test.
DISCOVERY_DATA CameraReply(const char *mac, const char *ip, const char *model = "QNV-1", int mode = 0,
                           unsigned httpPort = 80);
