#pragma once

#include <QStringList>
#include <QTreeView>
#include <functional>

class QMimeData;

namespace halvorix {

// ListView1: the transfer list in report view. Drag-and-drop and the double-click are handed to
// the window's handlers.
class TransferListView : public QTreeView {
    Q_OBJECT
public:
    explicit TransferListView(QWidget *parent);

    std::function<bool(const QMimeData *)> onDragOver; // true: the drop is welcome
    std::function<void(const QMimeData *)> onDrop;
    std::function<void()> onDoubleClick;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};

// The local files and folders a drag carries; links to anything else are left out.
QStringList localPathsOf(const QMimeData *data);

} // namespace halvorix
