// Opens a web address on Linux: the desktop's default browser through Qt, else xdg-open.
#include "platform/Launcher.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

void OpenInBrowser(const std::string &url)
{
    const QUrl address(QString::fromLatin1(url.c_str()));
    // A platform without desktop services (no session, or an offscreen one) still has
    // the desktop's own launcher.
    if (!QDesktopServices::openUrl(address))
        QProcess::startDetached(QStringLiteral("xdg-open"), {address.toString()});
}
