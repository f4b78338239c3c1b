#include "app/TransferListView.h"

#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace halvorix {

QStringList localPathsOf(const QMimeData *data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

TransferListView::TransferListView(QWidget *parent) : QTreeView(parent)
{
    setRootIsDecorated(false);
    setUniformRowHeights(true); // a million rows lay out without measuring each
    setItemsExpandable(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    header()->setStretchLastSection(false);
    header()->setMinimumSectionSize(0);
}

void TransferListView::dragEnterEvent(QDragEnterEvent *event)
{
    dragMoveEvent(event); // an entering drag is judged as a moving one
}

void TransferListView::dragMoveEvent(QDragMoveEvent *event)
{
    if (onDragOver && onDragOver(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TransferListView::dropEvent(QDropEvent *event)
{
    if (onDrop && onDragOver && onDragOver(event->mimeData())) {
        event->acceptProposedAction();
        onDrop(event->mimeData());
    } else {
        event->ignore();
    }
}

void TransferListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTreeView::mouseDoubleClickEvent(event);
    if (onDoubleClick)
        onDoubleClick();
}

} // namespace halvorix
