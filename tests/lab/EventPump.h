#pragma once
// Lets the test's thread serve window and socket events while it waits, without
// spinning: a short timer wakes the wait now and then to look at the condition.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>

inline void ProcessEventsUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    QTimer tick;
    tick.start(10);
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Serves events until done() holds; returns whether it does. For gtest checks:
// ASSERT_TRUE(WaitFor([&] { ... }, 5000)). (QtTest's QTRY macros report to QtTest, which
// a gtest run never reads.)
inline bool WaitFor(const std::function<bool()> &done, int timeoutMs)
{
    ProcessEventsUntil(done, timeoutMs);
    return done();
}

inline void ProcessEventsFor(int ms)
{
    ProcessEventsUntil([] { return false; }, ms);
}
