#include <QApplication>
#include <QDialog>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QDialog window;
    window.setWindowTitle("Lanscout");
    window.show();
    return app.exec();
}
