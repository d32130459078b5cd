#include "platform/QtMessageBox.h"

#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace {

QMessageBox::Icon QtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::Error: return QMessageBox::Critical;
    default: return QMessageBox::Warning;
    }
}

// A dialog running over the main window (the password dialog) owns the box, so that
// the dialog cannot be used again while the box is up.
QWidget *BoxParent(const MessageRequest &request)
{
    QWidget *modal = QApplication::activeModalWidget();
    return modal ? modal : request.owner;
}

int ShowQtMessageBox(const MessageRequest &request)
{
    const bool yesNo = request.buttons == MessageButtons::YesNo;
    QMessageBox box(QtIcon(request.icon), QString::fromStdString(request.caption),
                    QString::fromLatin1(request.text.c_str()),
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, BoxParent(request));
    box.setWindowModality(Qt::WindowModal);
    const int answer = box.exec();
    if (!yesNo)
        return ANSWER_OK;
    return answer == QMessageBox::Yes ? ANSWER_YES : ANSWER_NO;
}

} // namespace

void UseQtMessageBoxes()
{
    SetMessagePresenter(ShowQtMessageBox);
}
