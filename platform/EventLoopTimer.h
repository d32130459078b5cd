#pragma once
// The tick timer of the window: single-shot timers of the Qt event loop of the thread
// that creates it. Calls still pending when it goes are never made.

#include "platform/TickTimer.h"

#include <memory>

class QObject;

class CEventLoopTimer final : public ITickTimer {
public:
    CEventLoopTimer();
    ~CEventLoopTimer();
    CEventLoopTimer(const CEventLoopTimer &) = delete;
    CEventLoopTimer &operator=(const CEventLoopTimer &) = delete;

    void CallAfter(std::chrono::milliseconds after, std::function<void()> fn) override;

private:
    std::unique_ptr<QObject> m_pContext; // the timers' context: they end with it
};
