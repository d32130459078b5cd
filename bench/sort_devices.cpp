// Time to sort 1000 listed cameras by each column. Runs in the lab, as the window
// binds the discovery ports:  tests/lab/lab.sh -- build/bench/sort_devices
#include "app/LanscoutDlg.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QTableWidget>

#include <chrono>
#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetMessageBoxHandler([](const MessageRequest &) { return int(IDOK); });
    CLanscoutDlg window;
    window.Create();
    for (int i = 0; i < 1000; ++i) {
        DISCOVERY_DATA r = ZeroRecord();
        r.nType = DISCOVERY_REPLY;
        const std::string mac = "00:16:6C:00:" + std::to_string((i * 7919) % 1000);
        const std::string ip = "10.77." + std::to_string(i % 4) + "." + std::to_string((i * 37) % 250);
        WriteSlotText(r.szMAC, mac);
        WriteSlotText(r.szIP, ip);
        WriteSlotText(r.szProductName, "QNV-" + std::to_string(i % 13));
        WriteSlotText(r.szFirmwareVersion, "2." + std::to_string(i % 17));
        window.m_devices.AddTail(r);
        window.AddDeviceRow(r);
    }
    for (int column : {0, 1, 2, 3, 4, 2}) {
        const auto start = std::chrono::steady_clock::now();
        window.OnColumnClick(column);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::printf("sort 1000 rows by column %d: %.1f ms\n", column, ms);
    }
    return 0;
}
