// Start Copying and Load Sample/Example Files.
#include "app/Form1.h"

#include "app/CopyJob.h"
#include "app/Form1Common.h"
#include "copy/ClosingWarning.h"
#include "copy/CopyRun.h"
#include "core/AppError.h"
#include "core/FileSystemService.h"
#include "core/PathText.h"
#include "core/StepRunner.h"
#include "drives/Destinations.h"
#include "platform/qt/DesktopUi.h"
#include "transferlist/FolderWalk.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScopeGuard>

namespace halvorix {

namespace {
const QString kStartCopyingLocation = form1::location("PushButton1_Click");
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
    // A close request meanwhile abandons this copy; once it is over, by whatever way, there is
    // none to abandon. An abandoned copy throws CopyAbandoned, which no handler catches: the
    // close request that abandoned it has ended the program.
    runningCopy_ = &job;
    const auto noCopyRunning = qScopeGuard([this] { runningCopy_ = nullptr; });
    const auto showProgress = [&] {
        const qint64 total = job.session.progress.bytesTotal.load();
        const qint64 done = std::min(job.session.progress.bytesDone.load(), total);
        ProgressBar1->setValue(total > 0 ? static_cast<int>(done * 1000 / total) : 0);
    };
    job.run(work, showProgress);
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

// Nothing is written unless the chosen card's root is still the mount point of the drive that
// was listed. A card pulled from a reader whose mount folder stays (one named in fstab) would
// otherwise have a copy to it land on the computer's own disk, and a copy from it make an empty
// results folder under "Done."; a stranger's card in the same slot would take what was meant for
// the one chosen. A warning rather than the error report: nothing failed, the user has a card to
// put back, and the run ends here instead of resuming with its next line.
bool Form1::cardStillThere(const QComboBox *cardList)
{
    const int index = cardList->currentIndex();
    if (index >= 0 && size_t(index) < CardDrives.size()
        && drives_.driveStillMounted(CardDrives[size_t(index)].drive))
        return true;
    setMousePointer(kPointerDefault);
    ui_.msgBox(QStringLiteral("The memory card %1 is not there any more: it was taken out or replaced "
                              "after the drives were listed. Nothing was copied.\rPut the card back, "
                              "or start Halvorix again to list the drives anew.")
                   .arg(cardList->itemText(index)),
        kStyleWarning);
    ProgressBar1->setValue(0);
    return false;
}

// A results folder typed without its full path ("HXBackup/") would be made wherever the program
// was started from, and the photos would be there and nowhere the user looks. Like the checks
// of the chosen drives, this ends the run before anything is made, and says what to type.
void Form1::refuseRelativeResultsFolder()
{
    ui_.msgBox(QStringLiteral("Could not copy to \"%1\": the results folder must be a full path, starting "
                              "with \"/\" (or \"~/\" for your home folder).\rType it in full, or "
                              "choose the folder with \"...\". Nothing was copied.")
                   .arg(Text1->text()),
        kStyleWarning);
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
    const std::optional<QString> results = resultsFolderFromTyped(Text1->text(), QDir::homePath());
    if (!results) {
        refuseRelativeResultsFolder();
        return;
    }
    run.step(118, [&] { setMousePointer(kPointerBusy); });
    if (!cardStillThere(Combo1))
        return;

    const QString cardRoot = Text2->text();
    CopyJob job(ui_, this, /*toCard=*/false, verifyCopies_);
    runCopy(job, [&] {
        StepRunner work(job.workUi(), kStartCopyingLocation, ReportForm::Short);
        copyCardToResults(fs_, engine_, cardRoot, *results, job.session, work);
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
    if (!cardStillThere(Combo3))
        return;

    const QString target = Text3->text();
    // Input is refused while the copy runs, so the rows cannot change; the worker reads a copy.
    const std::vector<TransferItem> rows = transferList_.items();
    bool listHasRows = true;
    CopyJob job(ui_, this, /*toCard=*/true, verifyCopies_);
    runCopy(job, [&] {
        StepRunner work(job.workUi(), kStartCopyingLocation, ReportForm::Short);
        listHasRows = copyRowsToCard(fs_, engine_, rows, target, job.session, work);
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

void Form1::PushButton3_Click()
{
    StepRunner run(ui_, form1::location("PushButton3_Click"), ReportForm::Full);
    const QString samples = appFolder_ + QStringLiteral("/Samples");
    QStringList names;
    int answer = 0;
    run.step(100, [&] { names = ListFolderFiles(fs_, samples, QStringLiteral("*.*")); });
    for (const QString &name : std::as_const(names))
        run.step(104, [&] { appendRow(samples + QLatin1Char('/') + name, markerNone()); });
    run.step(106, [&] {
        answer
            = ui_.msgBox(QStringLiteral("Would you like this software to open the folder where these sample "
                                        "files are stored (so that you can view them before working with "
                                        "them)?"),
                kStyleYesNo);
    });
    if (answer == kAnswerYes)
        run.step(108, [&] { ui_.shellOpen(samples + QLatin1Char('/')); });
}

} // namespace halvorix
