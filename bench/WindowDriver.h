#pragma once
// A benchmark's hands on the main window: it reads the list view and presses controls
// as a user would, and hands cameras over to the store the program would use.

#include "app/LanscoutDlg.h"
#include "vms/HandOver.h"
#include "vms/VantoRegistry.h"

#include <QAbstractButton>
#include <QTableView>

#include <string>

namespace bench {

inline const CHandOverStore &Store()
{
    static const CHandOverStore store(RegistryRoot());
    return store;
}

inline QTableView &ListView(const CLanscoutDlg &window)
{
    return *qobject_cast<QTableView *>(window.Control(IDC_DEVICE_LIST));
}

inline int RowCount(const CLanscoutDlg &window)
{
    return ListView(window).model()->rowCount();
}

inline int RowOf(const CLanscoutDlg &window, const std::string &ip)
{
    const QAbstractItemModel &model = *ListView(window).model();
    for (int row = 0; row < model.rowCount(); ++row)
        if (model.index(row, 2).data().toString().toStdString() == ip)
            return row;
    return -1;
}

// Highlights the row and clicks it, as the mouse does.
inline void ClickRow(const CLanscoutDlg &window, int row)
{
    QTableView &view = ListView(window);
    view.selectRow(row);
    emit view.clicked(view.model()->index(row, 1));
}

inline void Press(const CLanscoutDlg &window, int id)
{
    qobject_cast<QAbstractButton *>(window.Control(id))->click();
}

} // namespace bench
