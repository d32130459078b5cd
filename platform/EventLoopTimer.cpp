#include "platform/EventLoopTimer.h"

#include <QObject>
#include <QTimer>

CEventLoopTimer::CEventLoopTimer() : m_pContext(std::make_unique<QObject>()) {}

CEventLoopTimer::~CEventLoopTimer() = default;

void CEventLoopTimer::CallAfter(std::chrono::milliseconds after, std::function<void()> fn)
{
    QTimer::singleShot(after, m_pContext.get(), std::move(fn));
}
