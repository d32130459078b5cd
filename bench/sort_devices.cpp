// How long a header click takes on a list of 1000 cameras: the sort reads every row,
// reorders rows and device-list records together and moves the selection along.
// Only the list view is built, so no socket is opened and nothing is sent.
#include "app/LanscoutDlg.h"
#include "app/Templates.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTableWidget>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr int kCameras = 1000;

DISCOVERY_DATA Camera(int i)
{
    // Scrambled so that every column's order differs from the arrival order.
    const int k = (i * 7919) % kCameras;
    DISCOVERY_DATA record = ZeroRecord();
    char text[64];
    std::snprintf(text, sizeof text, "00:1A:2B:%02X:%02X:%02X", k / 65536, (k / 256) % 256, k % 256);
    WriteSlotText(record.szMAC, text);
    std::snprintf(text, sizeof text, "10.77.%d.%d", k / 250, 10 + k % 250);
    WriteSlotText(record.szIP, text);
    std::snprintf(text, sizeof text, "IPCAM-%d", k % 37);
    WriteSlotText(record.szProductName, text);
    std::snprintf(text, sizeof text, "1.%d.%d", k % 13, k % 101);
    WriteSlotText(record.szFirmwareVersion, text);
    return record;
}

void BuildListView(CLanscoutDlg &window)
{
    const auto list = std::find_if(kMainControls.begin(), kMainControls.end(),
                                   [](const ControlTemplate &c) { return c.id == IDC_DEVICE_LIST; });
    BuildDialog(window, kMainTemplate, std::span(list, 1));
    window.m_listDevices = qobject_cast<QTableWidget *>(window.Control(IDC_DEVICE_LIST));
    window.m_nColumnCount = 5;
    window.InitDeviceColumns();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    CLanscoutDlg window;
    BuildListView(window);
    for (int i = 0; i < kCameras; ++i) {
        const DISCOVERY_DATA record = Camera(i);
        window.m_devices.AddTail(record);
        window.AddDeviceRow(record);
    }
    window.m_nSelectedIndex = kCameras / 2;

    const char *captions[] = {"Index", "MAC ADDRESS", "IP ADDRESS", "PRODUCT NAME", "FIRMWARE VERSION"};
    double slowest = 0;
    for (int column : {1, 2, 3, 4, 0, 2}) {
        QElapsedTimer timer;
        timer.start();
        window.OnColumnClick(column);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        slowest = std::max(slowest, ms);
        std::printf("sort %d rows by %-16s %8.2f ms\n", kCameras, captions[column], ms);
    }
    std::printf("slowest header click: %.2f ms\n", slowest);
    return 0;
}
