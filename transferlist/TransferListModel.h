#pragma once

#include "transferlist/TransferItem.h"

#include <QAbstractTableModel>
#include <vector>

namespace halvorix {

// The rows of ListView1: a plain vector of TransferItem behind a table model, so a million rows
// cost little and a whole walk is appended in one batch. Column 0 shows Text, column 1 Marker.
class TransferListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // Adds a column with its heading (the list starts without columns).
    void addColumn(const QString &heading);

    void append(TransferItem item);
    void appendBatch(std::vector<TransferItem> &&items);
    void removeAt(int row);
    void clear();

    int count() const { return static_cast<int>(items_.size()); }
    const TransferItem &at(int row) const { return items_[static_cast<size_t>(row)]; }
    const std::vector<TransferItem> &items() const { return items_; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void makeRoomFor(size_t more);

    std::vector<TransferItem> items_;
    std::vector<QString> headings_;
};

} // namespace halvorix
