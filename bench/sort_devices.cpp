// Time to sort 1000 listed cameras by each column, in the device list as the window's
// view shows it (the view's highlight and current row follow the cameras):
//   build/bench/sort_devices
#include "app/DeviceTableModel.h"

#include <QApplication>
#include <QTableView>

#include <chrono>
#include <cstdio>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    CDeviceList list;
    CDeviceTableModel model(list);
    QTableView view;
    view.setModel(&model);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.show();
    for (int i = 0; i < 1000; ++i) {
        Camera camera;
        camera.mac = "00:16:6C:00:" + std::to_string((i * 7919) % 1000);
        camera.ip = "10.77." + std::to_string(i % 4) + "." + std::to_string((i * 37) % 250);
        camera.product = "QNV-" + std::to_string(i % 13);
        camera.firmware = "2." + std::to_string(i % 17);
        list.ListDevice(camera);
    }
    for (int row = 0; row < 1000; row += 3)
        view.selectionModel()->select(model.index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    for (int column : {0, 1, 2, 3, 4, 2}) {
        const auto start = std::chrono::steady_clock::now();
        list.OnColumnClick(column);
        QCoreApplication::processEvents();
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::printf("sort 1000 rows by column %d: %.1f ms\n", column, ms);
    }
    return 0;
}
