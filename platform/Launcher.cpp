#include "platform/Launcher.h"

#include <QDesktopServices>
#include <QUrl>

void OpenInBrowser(const std::string &url)
{
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(url.c_str())));
}
