// The direction, the drive lists and the destinations they suggest: the option buttons, the
// three drive lists and "..." beside the results folder.
#include "app/Form1.h"

#include "app/Form1Common.h"
#include "app/Twips.h"
#include "core/StepRunner.h"
#include "drives/BrowseFolder.h"
#include "drives/Destinations.h"
#include "drives/DriveLists.h"
#include "platform/qt/DesktopUi.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

namespace halvorix {

using form1::kSettingsApp;
using form1::kSettingsKey;
using form1::kSettingsSection;
using form1::location;

void Form1::FillDriveLists()
{
    DriveListTargets targets;
    targets.addCard = [this](const QString &entry, const QString &itemText, const DriveInfo &drive) {
        const QSignalBlocker block1(Combo1), block3(Combo3);
        CardDrives.push_back(CardDrive{entry, drive});
        Combo1->addItem(itemText);
        Combo3->addItem(itemText);
        Combo1->setCurrentIndex(-1); // discovery selects nothing
        Combo3->setCurrentIndex(-1);
    };
    targets.addHardDisk = [this](const QString &entry, const QString &itemText, const DriveInfo &) {
        const QSignalBlocker block(Combo2);
        Combo2->addItem(itemText);
        HardDiskDrives.append(entry);
        Combo2->setCurrentIndex(-1);
    };
    halvorix::FillDriveLists(drives_, targets);
}

void Form1::Option1_Click()
{
    ui_.saveSetting(kSettingsApp, kSettingsSection, kSettingsKey,
        Option1->isChecked() ? QStringLiteral("True") : QStringLiteral("False"));
    Frame1->setVisible(true);
    Frame2->setVisible(false);
    Frame1->resize(Frame1->width(), tw(2300));
    setTop(PushButton1, 3390);
    setTop(ProgressBar1, 3930);
    setOuterHeightTwips(4950);
}

void Form1::Option2_Click()
{
    ui_.saveSetting(kSettingsApp, kSettingsSection, kSettingsKey,
        Option1->isChecked() ? QStringLiteral("True") : QStringLiteral("False"));
    Frame1->setVisible(false);
    Frame2->setVisible(true);
    setTop(PushButton1, 5260);
    setTop(ProgressBar1, 5770);
    setOuterHeightTwips(6770);
}

void Form1::Option3_Click()
{
    PushButton5->setText(QStringLiteral("Add File(s)"));
    PushButton4->setText(QStringLiteral("Add All File(s) In Folder"));
}

void Form1::Option4_Click()
{
    PushButton5->setText(QStringLiteral("Add Folder(s)"));
    PushButton4->setText(QStringLiteral("Add All Folder(s) In Folder"));
}

void Form1::Combo1_Click()
{
    if (Combo1->currentIndex() < 0 || Combo2->currentIndex() < 0)
        return;
    const QString card = CardDrives.at(size_t(Combo1->currentIndex())).entry;
    const QString disk = HardDiskDrives.at(Combo2->currentIndex());
    Text1->setText(resultsFolderForCard(disk, card));
    Text2->setText(cardRootFolder(card));
}

void Form1::Combo2_Click()
{
    if (Combo1->currentIndex() < 0 || Combo2->currentIndex() < 0)
        return;
    const QString card = CardDrives.at(size_t(Combo1->currentIndex())).entry;
    const QString disk = HardDiskDrives.at(Combo2->currentIndex());
    Text1->setText(resultsFolderForDisk(disk));
    Text2->setText(cardRootFolder(card));
}

void Form1::Combo3_Click()
{
    if (Combo3->currentIndex() < 0)
        return;
    Text3->setText(cardTransferFolder(CardDrives.at(size_t(Combo3->currentIndex())).entry));
}

void Form1::PushButton2_Click()
{
    StepRunner run(ui_, location("PushButton2_Click"), ReportForm::Full);
    QString path;
    run.step(100, [&] { path = PickFolder(ui_, kPickFolderPrompt); });
    if (run.test(102, [&] { return path.isEmpty(); }))
        return;
    if (run.test(104, [&] { return isNetworkPath(path); }))
        run.step(108, [&] { path = path + QLatin1Char('/'); });
    else
        run.step(106, [&] { path = resultsFolderFromPicked(path); });
    run.step(110, [&] { Text1->setText(path); });
}

} // namespace halvorix
