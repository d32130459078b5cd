#include "platform/AsyncSocketNotifier.h"

#include <QSocketNotifier>

std::unique_ptr<QObject> WatchNotifyHandle(CDatagramSocket::NativeHandle handle, std::function<void()> onSignal)
{
    auto notifier = std::make_unique<QSocketNotifier>(qintptr(handle), QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), std::move(onSignal));
    return notifier;
}
