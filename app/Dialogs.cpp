#include "app/Dialogs.h"

#include "app/AppIcon.h"
#include "app/Templates.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget *parent) : QDialog(parent)
{
    setWindowIcon(LoadAppIcon());
    BuildDialog(*this, kAboutTemplate, kAboutControls);
    if (auto *ok = qobject_cast<QPushButton *>(GetDlgItem(*this, 1)))
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

CModalDlg::CModalDlg(QWidget *owner) : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    BuildDialog(*this, kWaitTemplate, kWaitControls);
    setAccessibleName(QStringLiteral("Please Wait..."));
}

void CModalDlg::CentreAndShow()
{
    if (QWidget *owner = parentWidget())
        move(owner->geometry().center() - rect().center());
    show();
}

void CModalDlg::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept(); // swallowed: the wait box closes only when the search ends
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
