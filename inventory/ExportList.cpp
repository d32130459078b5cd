// The list as a text file, and a camera's web page in the browser.
#include "app/LanscoutDlg.h"
#include "inventory/ExportFormat.h"
#include "platform/Latin1Text.h"
#include "platform/Launcher.h"
#include "platform/MessageBox.h"

#include <QTableWidget>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

const char *const kExportFile = "SearchIPList.txt";
constexpr int kIpColumn = 2;
constexpr int kProductColumn = 3;
constexpr int kFirmwareColumn = 4;
constexpr int kIndexColumn = 0;

std::string CellBytes(const QTableWidget &list, int row, int column)
{
    const QTableWidgetItem *cell = list.item(row, column);
    return cell ? Latin1(cell->text()) : std::string();
}

// The user would otherwise look for a list that is not there, or not whole.
void ReportExportFailure(int error)
{
    ShowMessage(std::string("Failed to write ") + kExportFile + ": " + std::strerror(error));
}

} // namespace

// One line a row, in the order shown.
void CLanscoutDlg::OnFileSaveList()
{
    std::FILE *file = std::fopen(kExportFile, "wb");
    if (!file) {
        ReportExportFailure(errno);
        return;
    }
    for (int row = 0; row < RowCount(); ++row) {
        const std::string line = ExportLine(CellBytes(*m_listDevices, row, kFirmwareColumn),
                                            CellBytes(*m_listDevices, row, kIpColumn),
                                            CellBytes(*m_listDevices, row, kProductColumn));
        std::fwrite(line.data(), 1, line.size(), file);
    }
    const bool failed = std::ferror(file) != 0;
    if (std::fclose(file) != 0 || failed)
        ReportExportFailure(errno);
}

void CLanscoutDlg::OnDeviceDblClick(int /*row*/, int column)
{
    DISCOVERY_DATA record;
    if (!m_devices.GetAt(std::uint32_t(m_nSelectedIndex), record) || column == kIndexColumn)
        return;
    const std::string ip = SlotText(record.szIP);
    OpenInBrowser(m_bHttps ? "https://" + ip : "http://" + ip + ":" + std::to_string(std::uint32_t(m_nHttpPort)));
}
