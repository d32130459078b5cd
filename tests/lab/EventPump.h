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

inline void ProcessEventsFor(int ms)
{
    ProcessEventsUntil([] { return false; }, ms);
}
