// Start Copying and Load Sample/Example Files.
#include "app/Form1.h"

#include "app/StepRunner.h"
#include "copy/CopyJob.h"
#include "copy/ModCopy.h"
#include "platform/AppError.h"
#include "platform/FileSystemService.h"
#include "platform/UiService.h"
#include "transferlist/AddFolder.h"
#include "transferlist/PathText.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>

namespace halvorix {

namespace {

const QString kStartCopyingLocation = QStringLiteral("in Tesmarin2016/11/03.Form1.PushButton1_Click ");

QString withoutTrailingSeparator(const QString &path)
{
    return path.endsWith(QLatin1Char('/')) ? path.chopped(1) : path;
}

} // namespace

void Form1::PushButton1_Click()
{
    StepRunner run(ui_, kStartCopyingLocation, ReportForm::Short);
    if (run.test(100, [&] { return Option1->isChecked(); }))
        copyCardToComputer(run);
    else if (run.test(144, [&] { return Option2->isChecked(); }))
        copyComputerToCard(run);
}

void Form1::runCopy(CopyJob &job, const std::function<void()> &work)
{
    runningCopy_ = &job;
    const auto showProgress = [&] {
        const qint64 total = job.session.bytesTotal.load();
        const qint64 done = std::min(job.session.bytesDone.load(), total);
        ProgressBar1->setValue(total > 0 ? static_cast<int>(done * 1000 / total) : 0);
    };
    try {
        job.run(work, showProgress);
    } catch (const CopyAbandoned &) {
        runningCopy_ = nullptr;
        throw ProgramEnded{}; // the close request has ended the program
    }
    runningCopy_ = nullptr;
}

void Form1::showClosingMessage(const CopyJob &job, const QString &doneText)
{
    // "Done." only when everything is on the medium; otherwise say what is missing.
    const std::vector<CopyFailure> failures = job.session.failures();
    if (failures.empty())
        ui_.msgBox(doneText, kStyleOk);
    else
        ui_.msgBox(closingWarningText(failures), kStyleWarning);
}

void Form1::copyCardToComputer(StepRunner &run)
{
    if (run.test(102, [&] { return Combo1->currentIndex() < 0; })) {
        run.step(104, [&] { ui_.msgBox(QStringLiteral("You must select USB Flash Drive."), kStyleWarning); });
        run.step(106, [&] { Combo1->setFocus(); });
        return;
    }
    if (run.test(108, [&] { return Combo2->currentIndex() < 0; })) {
        run.step(110, [&] { ui_.msgBox(QStringLiteral("You must select Hard Drive."), kStyleWarning); });
        run.step(112, [&] { Combo2->setFocus(); });
        return;
    }
    if (run.test(114, [&] { return Text1->text().trimmed().isEmpty(); })) {
        run.step(116, [&] { ui_.msgBox(QStringLiteral("Could not copy."), kStyleWarning); });
        return;
    }
    run.step(118, [&] { setMousePointer(kPointerBusy); });

    const QString results = Text1->text();
    const QString cardRoot = Text2->text();
    CopyJob job(ui_, this, /*followLinks=*/false); // links on a card are never followed
    runCopy(job, [&] {
        StepRunner work(job.workUi(), kStartCopyingLocation, ReportForm::Short);
        CopySession &session = job.session;
        fs_.measure(cardRoot + QStringLiteral("*"), true, session);
        if (work.test(120, [&] { return !IsExistingFolder(fs_, results); }))
            work.step(122, [&] { fs_.createFolder(results); });
        if (work.test(124, [&] { return !fs_.list(cardRoot + QStringLiteral("*.*"), 0).empty(); }))
            work.step(126, [&] { fs_.copyMatchingFiles(cardRoot + QStringLiteral("*.*"), results, session); });
        // A card without folders gives this copy nothing to do, which is no failure.
        work.step(136, [&] { fs_.copyMatchingFolders(cardRoot + QStringLiteral("*"), results, session); });
        work.step(136, [&] { fs_.flushDestinations(session); });
    });
    run.step(138, [&] { setMousePointer(kPointerDefault); });
    run.step(140, [&] { showClosingMessage(job, QStringLiteral("Done.")); });
    run.step(142, [&] { setMousePointer(kPointerDefault); });
    ProgressBar1->setValue(0);
}

void Form1::copyComputerToCard(StepRunner &run)
{
    if (run.test(146, [&] { return Combo3->currentIndex() < 0; })) {
        run.step(148, [&] { ui_.msgBox(QStringLiteral("You must select USB Flash Drive."), kStyleWarning); });
        run.step(150, [&] { Combo3->setFocus(); });
        return;
    }
    if (run.test(152, [&] { return Text3->text().trimmed().isEmpty(); })) {
        run.step(154, [&] { ui_.msgBox(QStringLiteral("Could not copy."), kStyleWarning); });
        return;
    }
    run.step(156, [&] { setMousePointer(kPointerBusy); });

    const QString target = Text3->text();
    // Input is refused while the copy runs, so the rows cannot change; the worker reads a copy.
    const std::vector<TransferItem> rows = transferList_.items();
    bool listHasRows = true;
    CopyJob job(ui_, this, /*followLinks=*/true); // a card cannot hold links: copy what they lead to
    runCopy(job, [&] {
        StepRunner work(job.workUi(), kStartCopyingLocation, ReportForm::Short);
        CopySession &session = job.session;
        for (const TransferItem &row : rows) {
            const QString source = row.isFolderRow() ? withoutTrailingSeparator(row.Text) : row.Text;
            fs_.measure(source, row.isFolderRow(), session);
        }
        if (work.test(158, [&] { return !IsExistingFolder(fs_, target); }))
            work.step(160, [&] { fs_.createFolder(target); });
        listHasRows = true;
        if (!work.test(162, [&] { return !rows.empty(); })) {
            listHasRows = false;
            return;
        }
        for (const TransferItem &row : rows) {
            QString path, source, destination;
            work.step(166, [&] { path = row.Text; });
            if (work.test(168, [&] { return row.Marker == markerIsFolder(); })) {
                work.step(170, [&] { source = withoutTrailingSeparator(path); });
                work.step(176, [&] { copyListedFolder(source, target, session); });
            } else {
                work.step(180, [&] { destination = target + lastPathPiece(path); });
                work.step(186, [&] { CopyFileIgnoringErrors(fs_, path, destination, session); });
            }
        }
        work.step(188, [&] { fs_.flushDestinations(session); });
    });
    if (listHasRows)
        run.step(190, [&] { showClosingMessage(job, QStringLiteral("Done.")); });
    else
        run.step(192, [&] {
            job.session.failureCount() == 0
                ? ui_.msgBox(QStringLiteral("No files added."), kStyleOk)
                : ui_.msgBox(closingWarningText(job.session.failures()), kStyleWarning);
        });
    run.step(194, [&] { setMousePointer(kPointerDefault); });
    run.step(196, [&] { ProgressBar1->setValue(0); });
}

void Form1::copyListedFolder(const QString &source, const QString &target, CopySession &session)
{
    // A folder row copies exactly that folder (never its siblings whose names start the same).
    if (source.isEmpty()) {
        session.addFailure(QStringLiteral("/"), QStringLiteral("A whole drive cannot be copied as one folder"));
        throw AppError(kPathFileAccessError, QStringLiteral("A whole drive cannot be copied as one folder: /"));
    }
    if (fs_.copyMatchingFolders(source, target, session) == 0) {
        session.addFailure(source, QStringLiteral("No such folder"));
        throw AppError(kPathNotFound, QStringLiteral("Path not found: ") + source);
    }
}

void Form1::PushButton3_Click()
{
    StepRunner run(ui_, QStringLiteral("in Tesmarin2016/11/03.Form1.PushButton3_Click "), ReportForm::Full);
    const QString samples = appFolder_ + QStringLiteral("/Samples");
    QStringList names;
    int answer = 0;
    run.step(100, [&] { names = ListFolderFiles(fs_, samples, QStringLiteral("*.*")); });
    for (const QString &name : std::as_const(names))
        run.step(104, [&] { appendRow(samples + QLatin1Char('/') + name, markerNone()); });
    run.step(106, [&] {
        answer = ui_.msgBox(QStringLiteral("Would you like this software to open the folder where these sample "
                                           "files are stored (so that you can view them before working with "
                                           "them)?"),
                            kStyleYesNo);
    });
    if (answer == kAnswerYes)
        run.step(108, [&] { ui_.shellOpen(samples + QLatin1Char('/')); });
}

} // namespace halvorix
