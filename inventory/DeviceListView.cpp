// The device list view: one row per device-list record, in the same order.
#include "app/LanscoutDlg.h"
#include "platform/Latin1Text.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableWidget>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

struct ColumnSpec {
    const char *caption;
    int width;
};

constexpr ColumnSpec kColumns[] = {
    {"Index", 50}, {"MAC ADDRESS", 130}, {"IP ADDRESS", 115}, {"PRODUCT NAME", 200}, {"FIRMWARE VERSION", 200},
};

// The row's check mark as a state image index: 0 unset, 1 unchecked, 2 checked.
constexpr int kStateImageRole = Qt::UserRole + 1;

struct SORT_ITEM {
    std::string strKey;
    QList<QTableWidgetItem *> cells;
    DISCOVERY_DATA record;
    bool selected;    // the device of the details panel
    bool highlighted; // a selected row of the view
};

std::string CellText(const DISCOVERY_DATA &record, int column, int index)
{
    switch (column) {
    case 0: return std::to_string(index);
    case 1: return SlotText(record.szMAC);
    case 2: return SlotText(record.szIP);
    case 3: return SlotText(record.szProductName);
    default: return SlotText(record.szFirmwareVersion);
    }
}

} // namespace

void CLanscoutDlg::InitDeviceColumns()
{
    m_listDevices->setColumnCount(m_nColumnCount);
    for (int k = 0; k < m_nColumnCount; ++k) {
        auto *header = new QTableWidgetItem(QString::fromLatin1(kColumns[k].caption));
        header->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        m_listDevices->setHorizontalHeaderItem(k, header);
        m_listDevices->setColumnWidth(k, kColumns[k].width);
    }
}

int CLanscoutDlg::RowCount() const
{
    return m_listDevices->rowCount();
}

bool CLanscoutDlg::IsDeviceListed(const DISCOVERY_DATA &record) const
{
    return m_listedDevices.Contains(record);
}

void CLanscoutDlg::AddDeviceRow(const DISCOVERY_DATA &record)
{
    const int n = RowCount();
    m_listedDevices.Add(record);
    m_listDevices->insertRow(n);
    for (int k = 0; k < m_nColumnCount; ++k) {
        auto *cell = new QTableWidgetItem(QString::fromLatin1(CellText(record, k, n + 1).c_str()));
        m_listDevices->setItem(n, k, cell);
    }
    m_listDevices->item(n, 0)->setData(kStateImageRole, 0);
}

int CLanscoutDlg::GetCheckMark(int row) const
{
    const QTableWidgetItem *cell = m_listDevices->item(row, 0);
    return cell ? cell->data(kStateImageRole).toInt() - 1 : -1;
}

void CLanscoutDlg::OnColumnClick(int column)
{
    if (column == 0)
        m_bCheckAll = !m_bCheckAll;
    else
        m_bSortAscending = !m_bSortAscending;
    SortDeviceList(column, m_bSortAscending != 0);
}

int CLanscoutDlg::CompareSortKeys(const std::string &a, const std::string &b, bool ascending)
{
    const int r = std::strcmp(a.c_str(), b.c_str());
    return ascending ? r : -r;
}

// Sorts rows and device-list records together, so row i still shows record i, and
// moves the selected index along with the selected device.
int CLanscoutDlg::SortDeviceList(int column, bool ascending)
{
    const int rows = RowCount();
    std::vector<SORT_ITEM> items(static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i) {
        SORT_ITEM &item = items[std::size_t(i)];
        m_devices.GetAt(std::uint32_t(i), item.record);
        // Index clicks sort nothing: every key is empty, and they set every check mark.
        if (column == 0)
            m_listDevices->item(i, 0)->setData(kStateImageRole, m_bCheckAll ? 2 : 1);
        else
            item.strKey = Latin1(m_listDevices->item(i, column)->text());
        item.selected = i == m_nSelectedIndex;
        item.highlighted = m_listDevices->selectionModel()->isRowSelected(i, QModelIndex());
        for (int k = 0; k < m_nColumnCount; ++k)
            item.cells.push_back(m_listDevices->takeItem(i, k));
    }
    std::stable_sort(items.begin(), items.end(), [ascending](const SORT_ITEM &a, const SORT_ITEM &b) {
        return CompareSortKeys(a.strKey, b.strKey, ascending) < 0;
    });
    // The highlight moves with its cameras, so that it marks the device that the
    // details panel shows and the actions work on.
    const int currentColumn = std::max(m_listDevices->currentColumn(), 0);
    m_listDevices->clearSelection();
    for (int i = 0; i < rows; ++i) {
        SORT_ITEM &item = items[std::size_t(i)];
        for (int k = 0; k < m_nColumnCount; ++k)
            m_listDevices->setItem(i, k, item.cells[k]);
        m_devices.SetAt(std::uint32_t(i), item.record);
        if (item.selected)
            m_nSelectedIndex = i;
        if (item.highlighted)
            m_listDevices->selectionModel()->select(m_listDevices->model()->index(i, 0),
                                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    if (m_nSelectedIndex >= 0)
        m_listDevices->selectionModel()->setCurrentIndex(m_listDevices->model()->index(m_nSelectedIndex, currentColumn),
                                                         QItemSelectionModel::NoUpdate);
    return 1;
}
