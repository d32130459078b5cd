#pragma once
// How long the window keeps a user's input waiting: every 50 ms a key press goes to the
// X server through XTEST (xdotool), as a keyboard's would, and the time until the
// window's thread sees it is taken. Needs the xcb platform on a real X display.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

class InputProbe final : public QObject {
public:
    explicit InputProbe(QWidget &window) : m_window(window)
    {
        m_clock.start();
        qApp->installEventFilter(this);
    }
    ~InputProbe() override
    {
        Stop();
        qApp->removeEventFilter(this);
    }

    void Start()
    {
        const std::string focus = "xdotool windowfocus --sync " + std::to_string(m_window.winId()) + " >/dev/null 2>&1";
        [[maybe_unused]] const int focused = std::system(focus.c_str());
        m_running = true;
        m_keys = std::thread([this] {
            while (m_running) {
                {
                    std::lock_guard lock(m_lock);
                    m_sent.push_back(m_clock.elapsed());
                }
                [[maybe_unused]] const int pressed = std::system("xdotool key F13 >/dev/null 2>&1");
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
    }
    void Stop()
    {
        m_running = false;
        if (m_keys.joinable())
            m_keys.join();
    }
    // The longest a key waited, and how many keys the window saw.
    qint64 WorstDelayMs() const { return m_worst; }
    int KeysSeen() const { return m_seen; }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_F13 &&
            !static_cast<QKeyEvent *>(event)->isAutoRepeat()) {
            std::lock_guard lock(m_lock);
            if (!m_sent.empty()) {
                m_worst = std::max(m_worst, m_clock.elapsed() - m_sent.front());
                m_sent.pop_front();
                ++m_seen;
            }
            return true;
        }
        return false;
    }

private:
    QWidget &m_window;
    QElapsedTimer m_clock;
    std::atomic<bool> m_running{false};
    std::thread m_keys;
    std::mutex m_lock;
    std::deque<qint64> m_sent;
    qint64 m_worst = 0;
    int m_seen = 0;
};
