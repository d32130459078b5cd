#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

namespace {

QPointer<QWidget> g_owner;
MessageBoxHandler g_handler;

QMessageBox::Icon QtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::Error: return QMessageBox::Critical;
    default: return QMessageBox::Warning;
    }
}

int ShowQtMessageBox(const MessageRequest &request)
{
    const bool yesNo = request.buttons == MessageButtons::YesNo;
    QMessageBox box(QtIcon(request.icon), QString::fromStdString(request.caption),
                    QString::fromLatin1(request.text.c_str()),
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, request.owner);
    box.setWindowModality(Qt::WindowModal);
    const int answer = box.exec();
    if (!yesNo)
        return IDOK;
    return answer == QMessageBox::Yes ? IDYES : IDNO;
}

} // namespace

std::string ProgramName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdString();
}

void SetMessageOwner(QWidget *owner)
{
    g_owner = owner;
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler)
{
    MessageBoxHandler previous = std::move(g_handler);
    g_handler = std::move(handler);
    return previous;
}

int ShowMessage(const std::string &text, MessageButtons buttons, MessageIcon icon)
{
    if (icon == MessageIcon::Default)
        icon = buttons == MessageButtons::YesNo ? MessageIcon::Question : MessageIcon::Warning;
    const MessageRequest request{text, ProgramName(), buttons, icon, g_owner.data()};
    return g_handler ? g_handler(request) : ShowQtMessageBox(request);
}
