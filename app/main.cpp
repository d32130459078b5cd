#include "app/AppIcon.h"
#include "app/LanscoutDlg.h"

#include <QApplication>

// The application: runs the main window as a modal dialog and ends with it.
class CLanscoutApp final {
public:
    int Start(int argc, char **argv)
    {
        QApplication app(argc, argv);
        QApplication::setWindowIcon(LoadAppIcon());
        CLanscoutDlg dialog;
        dialog.DoModal();
        return 0;
    }
};

int main(int argc, char **argv)
{
    static CLanscoutApp theApp;
    return theApp.Start(argc, argv);
}
