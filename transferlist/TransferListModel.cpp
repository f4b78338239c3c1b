#include "transferlist/TransferListModel.h"

#include <algorithm>

namespace halvorix {

bool TransferItem::isFolderRow() const
{
    return Marker == markerIsFolder();
}

const QString &markerIsFile()
{
    static const QString text = QStringLiteral("Is File");
    return text;
}

const QString &markerIsFolder()
{
    static const QString text = QStringLiteral("Is Folder");
    return text;
}

const QString &markerNone()
{
    static const QString text;
    return text;
}

void TransferListModel::addColumn(const QString &heading)
{
    const int column = static_cast<int>(headings_.size());
    beginInsertColumns(QModelIndex(), column, column);
    headings_.push_back(heading);
    endInsertColumns();
}

void TransferListModel::makeRoomFor(size_t more)
{
    // Geometric growth, so many batches cost no repeated copying. Done before the views are told
    // of new rows: memory that runs out then leaves the list as it was, never half announced.
    const size_t needed = items_.size() + more;
    if (needed > items_.capacity())
        items_.reserve(std::max(needed, items_.capacity() * 2));
}

void TransferListModel::append(TransferItem item)
{
    makeRoomFor(1);
    const int row = count();
    beginInsertRows(QModelIndex(), row, row);
    items_.push_back(std::move(item)); // room made: moves only
    endInsertRows();
}

void TransferListModel::appendBatch(std::vector<TransferItem> &&items)
{
    if (items.empty())
        return;
    if (!items_.empty())
        makeRoomFor(items.size());
    const int first = count();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(items.size()) - 1);
    if (items_.empty()) {
        items_ = std::move(items);
    } else {
        items_.insert(
            items_.end(), std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
    }
    endInsertRows();
    items.clear();
}

void TransferListModel::removeAt(int row)
{
    if (row < 0 || row >= count())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    items_.erase(items_.begin() + row);
    endRemoveRows();
}

void TransferListModel::clear()
{
    beginResetModel();
    std::vector<TransferItem>().swap(items_);
    endResetModel();
}

int TransferListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

int TransferListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(headings_.size());
}

QVariant TransferListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count() || role != Qt::DisplayRole)
        return {};
    const TransferItem &item = at(index.row());
    return index.column() == 0 ? item.Text : item.Marker;
}

QVariant TransferListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= static_cast<int>(headings_.size()))
        return {};
    return headings_[static_cast<size_t>(section)];
}

} // namespace halvorix
