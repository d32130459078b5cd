#pragma once
// The device list as the list view shows it: one row a camera, in the list's order,
// kept in step with every change of the list.

#include "inventory/DeviceList.h"

#include <QAbstractTableModel>

class CDeviceTableModel final : public QAbstractTableModel, private IDeviceListObserver {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CDeviceTableModel)

public:
    // The row's check mark as a state image index: 0 unset, 1 unchecked, 2 checked.
    static constexpr int kStateImageRole = Qt::UserRole + 1;

    explicit CDeviceTableModel(CDeviceList &list, QObject *parent = nullptr);
    ~CDeviceTableModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void RowsAboutToBeAppended(int first, int last) override;
    void RowsAppended() override;
    void ListAboutToBeCleared() override;
    void ListCleared() override;
    void RowsAboutToBeReordered() override;
    void RowsReordered(const std::vector<int> &newRowOf) override;
    void RowChanged(int row) override;

    CDeviceList &m_list;
    QModelIndexList m_persistentBeforeReorder;
};
