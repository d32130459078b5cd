#pragma once
// The About box and the "Please Wait..." box shown during a search.

#include <QDialog>

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
