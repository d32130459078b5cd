#include "app/Dialogs.h"

#include "app/AppIcon.h"
#include "app/Templates.h"
#include "camapi/PasswordChange.h"
#include "platform/BusyWait.h"
#include "platform/DialogTemplate.h"
#include "platform/Latin1Text.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
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

namespace {

std::string EditText(const QWidget &dialog, int id)
{
    const auto *edit = qobject_cast<const QLineEdit *>(GetDlgItem(dialog, id));
    return edit ? Latin1(edit->text()) : std::string();
}

} // namespace

CChangePwdDlg::CChangePwdDlg(QWidget *parent) : QDialog(parent)
{
    setWindowIcon(LoadAppIcon());
    BuildDialog(*this, kChangePwdTemplate, kChangePwdControls);
    connect(qobject_cast<QPushButton *>(GetDlgItem(*this, IDC_APPLY_PASSWORD)), &QPushButton::clicked, this,
            &CChangePwdDlg::OnApply);
    connect(qobject_cast<QPushButton *>(GetDlgItem(*this, IDC_CANCEL_PASSWORD)), &QPushButton::clicked, this,
            &CChangePwdDlg::OnCancel);
}

CChangePwdDlg::~CChangePwdDlg() = default;

void CChangePwdDlg::OnApply()
{
    const std::string newPassword = EditText(*this, IDC_NEW_PASSWORD);
    const std::string confirmation = EditText(*this, IDC_CONFIRM_PASSWORD);
    if (const char *problem = NewPasswordProblem(newPassword, confirmation)) {
        ShowMessage(problem);
        return;
    }
    API_RESULT result;
    BusyWait([&] { result = ChangeCameraPassword(m_strIP, m_strUserID, m_strPassword, newPassword); });
    if (result.nCode != API_SUCCESS) {
        ShowMessage(result.strMessage);
        return;
    }
    ShowMessage("Password is changed successfully!", MessageButtons::Ok, MessageIcon::Information);
    m_strPassword = newPassword;
    done(CHANGE_PWD_DONE);
}

void CChangePwdDlg::OnCancel()
{
    done(0);
}

// Enter presses the focused button; from an edit it leaves the dialog as OK would,
// without a change, so a half-typed password is never sent.
void CChangePwdDlg::keyPressEvent(QKeyEvent *event)
{
    if (!HandleEnterKey(*this, *event, [this] { done(ANSWER_OK); }))
        QDialog::keyPressEvent(event);
}
