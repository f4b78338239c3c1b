// The transfer list: the add buttons, Clear List, a double-click on a row and drops.
#include "app/Form1.h"

#include "app/Form1Common.h"
#include "core/PathText.h"
#include "core/StepRunner.h"
#include "drives/BrowseFolder.h"
#include "drives/Destinations.h"
#include "platform/qt/DesktopUi.h"
#include "transferlist/CommonDialog.h"
#include "transferlist/FolderWalk.h"
#include "transferlist/Intake.h"

#include <QRadioButton>

namespace halvorix {

using form1::location;

void Form1::appendRow(const QString &text, const QString &marker)
{
    transferList_.append(TransferItem{text, marker});
}

void Form1::ListView1_DblClick()
{
    if (isBusy() || transferList_.count() == 0)
        return;
    const QModelIndexList selected = ListView1->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    transferList_.removeAt(selected.front().row());
}

void Form1::PushButton6_Click()
{
    StepRunner run(ui_, location("PushButton6_Click"), ReportForm::Full);
    run.step(100, [&] { transferList_.clear(); });
}

void Form1::PushButton5_Click()
{
    StepRunner run(ui_, location("PushButton5_Click"), ReportForm::Full);
    run.setInterceptor(
        [this](const FailureRecord &failure) { return showTooManyFilesInstead(ui_, failure); });
    if (run.test(100, [&] { return Option3->isChecked(); }))
        addChosenFiles(run);
    else if (run.test(146, [&] { return Option4->isChecked(); }))
        addChosenFolder(run);
}

void Form1::addChosenFiles(StepRunner &run)
{
    CommonDialog CommonDialog1;
    QStringList parts;
    run.step(102, [&] { CommonDialog1.FileName.clear(); });
    run.step(104, [&] { CommonDialog1.Flags = 0x00280201; });
    run.step(106, [&] {
        CommonDialog1.DialogTitle = QStringLiteral("Add File(s) - Hold Ctrl to select multiple files");
    });
    run.step(108, [&] { CommonDialog1.Filter = QStringLiteral("All Files (*.*)|*.*|"); });
    run.step(110, [&] { CommonDialog1.ShowOpen(ui_); });
    if (run.test(112, [&] { return CommonDialog1.FileName.isEmpty(); }))
        return;
    run.step(114, [&] { parts = CommonDialog1.FileName.split(QChar(u'\0')); });
    if (run.test(116, [&] { return parts.size() == 1; })) {
        const QString path = parts.value(0);
        if (run.test(118, [&] { return IsBadFileName(fs_, path); }))
            run.step(120, [&] { ui_.msgBox(badFileNameMessage(path), kStyleOk); });
        else
            run.step(124, [&] { appendRow(path, markerIsFile()); });
        return;
    }
    for (qsizetype i = 1; i < parts.size() && !run.ended(); ++i) {
        QString path;
        run.step(132, [&] { path = FixRootSeparator(parts[0] + QLatin1Char('/') + parts[i]); });
        if (run.test(134, [&] { return IsBadFileName(fs_, path); }))
            run.step(136, [&] { ui_.msgBox(badFileNameMessage(path), kStyleOk); });
        else
            run.step(140, [&] { appendRow(path, markerIsFile()); });
    }
}

void Form1::addChosenFolder(StepRunner &run)
{
    QString path, text;
    run.step(148, [&] { path = PickFolder(ui_, kPickFolderPrompt); });
    if (run.test(150, [&] { return path.isEmpty(); }))
        return;
    run.step(152, [&] { setMousePointer(kPointerBusy); });
    if (run.test(154, [&] { return isNetworkPath(path); }))
        run.step(156, [&] { text = path + QLatin1Char('/'); });
    else
        run.step(160, [&] { text = FixRootSeparator(path + QLatin1Char('/')); });
    run.step(164, [&] { appendRow(text, markerIsFolder()); }); // 166, the marker, goes in with it
    run.step(168, [&] { setMousePointer(kPointerDefault); });
}

void Form1::PushButton4_Click()
{
    StepRunner run(ui_, location("PushButton4_Click"), ReportForm::Full);
    if (run.test(100, [&] { return Option3->isChecked(); }))
        addAllFilesInFolder(run);
    else if (run.test(134, [&] { return Option4->isChecked(); }))
        addAllFoldersInFolder(run);
}

void Form1::addAllFilesInFolder(StepRunner &run)
{
    QString path;
    run.step(102, [&] { path = PickFolder(ui_, kPickFolderPrompt); });
    if (run.test(104, [&] { return path.isEmpty(); }))
        return;
    run.step(106, [&] { setMousePointer(kPointerBusy); });
    std::vector<TransferItem> rows = fileRowsForFolder(fs_, ui_, path, run);
    run.step(124, [&] { transferList_.appendBatch(std::move(rows)); });
    run.step(132, [&] { setMousePointer(kPointerDefault); });
}

void Form1::addAllFoldersInFolder(StepRunner &run)
{
    QString path;
    FolderCollection folders;
    run.step(136, [&] { path = PickFolder(ui_, kPickFolderPrompt); });
    if (run.test(138, [&] { return path.isEmpty(); }))
        return;
    run.step(140, [&] { setMousePointer(kPointerBusy); });
    if (run.test(142, [&] { return path.endsWith(QLatin1Char('/')); })) {
        run.step(144, [&] { folders.append(path); });
        run.step(146, [&] { appendRow(FixRootSeparator(path), markerIsFolder()); });
    } else {
        run.step(150, [&] { folders.append(path + QLatin1Char('/')); });
        run.step(152, [&] { appendRow(FixRootSeparator(path) + QLatin1Char('/'), markerIsFolder()); });
    }
    run.step(156, [&] { CollectSubFolders(fs_, ui_, folders, true); });
    run.step(158, [&] {
        std::vector<TransferItem> rows;
        rows.reserve(static_cast<size_t>(folders.size()));
        for (qsizetype i = 1; i < folders.size(); ++i)
            rows.push_back(TransferItem{folders[i], markerIsFolder()});
        transferList_.appendBatch(std::move(rows));
    });
    run.step(166, [&] { setMousePointer(kPointerDefault); });
}

bool Form1::ListView1_OLEDragOver(const QMimeData *mime)
{
    return !localPathsOf(mime).isEmpty();
}

void Form1::ListView1_OLEDragDrop(const QStringList &droppedPaths)
{
    for (const QString &path : droppedPaths) {
        try {
            if (isDroppedFolder(fs_, path))
                transferList_.appendBatch(droppedFolderRows(fs_, ui_, path));
            else
                appendRow(path, markerNone());
        } catch (const std::exception &) {
            // A folder the walk cannot examine, or one too big to list (memory ran out), adds
            // nothing; the other dropped paths still do.
        }
    }
}

} // namespace halvorix
