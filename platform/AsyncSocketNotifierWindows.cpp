#include "platform/AsyncSocketNotifier.h"

#include <QWinEventNotifier>

// The handle is a manual-reset event: it stays signalled until the delivery clears it.
std::unique_ptr<QObject> WatchNotifyHandle(CDatagramSocket::NativeHandle handle, std::function<void()> onSignal)
{
    auto notifier = std::make_unique<QWinEventNotifier>(reinterpret_cast<Qt::HANDLE>(handle));
    QObject::connect(notifier.get(), &QWinEventNotifier::activated, notifier.get(), std::move(onSignal));
    return notifier;
}
