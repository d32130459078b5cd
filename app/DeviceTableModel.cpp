#include "app/DeviceTableModel.h"

CDeviceTableModel::CDeviceTableModel(CDeviceList &list, QObject *parent) : QAbstractTableModel(parent), m_list(list)
{
    m_list.SetObserver(this);
}

CDeviceTableModel::~CDeviceTableModel()
{
    m_list.SetObserver(nullptr);
}

int CDeviceTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_list.Count();
}

int CDeviceTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : CDeviceList::kColumnCount;
}

QVariant CDeviceTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_list.Count())
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(m_list.CellText(index.row(), index.column()));
    if (role == kStateImageRole && index.column() == CDeviceList::kIndexColumn)
        return m_list.CheckMark(index.row()) + 1;
    return {};
}

// The flags the list's cells have always had, so that a screen reader finds each cell
// in the same states; the view itself never edits, drags or checks a cell.
Qt::ItemFlags CDeviceTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled |
           Qt::ItemIsDropEnabled | Qt::ItemIsEditable;
}

QVariant CDeviceTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(CDeviceList::ColumnCaption(section));
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

void CDeviceTableModel::RowsAboutToBeAppended(int first, int last)
{
    beginInsertRows(QModelIndex(), first, last);
}

void CDeviceTableModel::RowsAppended()
{
    endInsertRows();
}

void CDeviceTableModel::ListAboutToBeCleared()
{
    beginResetModel();
}

void CDeviceTableModel::ListCleared()
{
    endResetModel();
}

// The highlight and the current row are persistent indexes: they move with their cameras.
void CDeviceTableModel::RowsAboutToBeReordered()
{
    emit layoutAboutToBeChanged();
    m_persistentBeforeReorder = persistentIndexList();
}

void CDeviceTableModel::RowsReordered(const std::vector<int> &newRowOf)
{
    QModelIndexList moved;
    moved.reserve(m_persistentBeforeReorder.size());
    for (const QModelIndex &old : std::as_const(m_persistentBeforeReorder))
        moved.append(index(newRowOf.at(std::size_t(old.row())), old.column()));
    changePersistentIndexList(m_persistentBeforeReorder, moved);
    m_persistentBeforeReorder.clear();
    emit layoutChanged();
    // Index clicks change every check mark.
    if (!newRowOf.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {kStateImageRole});
}

void CDeviceTableModel::RowChanged(int row)
{
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}
