#pragma once
// The About box, the "Please Wait..." box shown during a search, and the dialog that
// gives a camera a new password.

#include <QDialog>

#include <string>

class CAboutDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CAboutDlg)
public:
    explicit CAboutDlg(QWidget *parent = nullptr);
};

// Modeless; hidden between searches. Enter and Escape never close it.
class CModalDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CModalDlg)
public:
    explicit CModalDlg(QWidget *owner);
    // Shows it centred over its owner.
    void CentreAndShow();

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

// End code of a change the camera accepted; m_strPassword then holds the new password.
inline constexpr int CHANGE_PWD_DONE = 10;

// Asks for a new password twice and sends it to the camera, logged in as m_strUserID
// with m_strPassword. Stays open through failed attempts until the camera takes one
// or the user leaves.
class CChangePwdDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CChangePwdDlg)
public:
    explicit CChangePwdDlg(QWidget *parent = nullptr);
    ~CChangePwdDlg() override;

    std::string m_strIP;
    std::string m_strUserID;
    std::string m_strPassword;

    void OnApply();
    void OnCancel();

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
