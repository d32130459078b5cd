#include "platform/BusyWait.h"

#include "platform/AsyncSocket.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QEventLoop>

#include <thread>

namespace {

// A close request from the desktop would end a dialog under the running request;
// like input, it is the user's to repeat once the window answers again.
class CloseRefusal final : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Close && watched->isWidgetType()) {
            event->ignore();
            return true;
        }
        return false;
    }
};

} // namespace

void BusyWait(const std::function<void()> &work)
{
    CloseRefusal refusal;
    qApp->installEventFilter(&refusal);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    {
        CAsyncSocket::NotificationHold hold;
        QEventLoop loop;
        std::thread helper([&] {
            work();
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        helper.join();
    }
    QApplication::restoreOverrideCursor();
    qApp->removeEventFilter(&refusal);
}
