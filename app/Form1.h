#pragma once

#include "app/Skin.h"
#include "app/TransferListView.h"
#include "core/MainModule.h"
#include "core/SystemServices.h"
#include "transferlist/TransferListModel.h"

#include <QCursor>
#include <QHash>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMimeData;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace halvorix {

class DesktopUi;
class StepRunner;
class CopyJob;

// The main window. Handlers keep their classic names; each hands over to well-named code in
// drives/, transferlist/ and copy/.
class Form1 : public QWidget {
    Q_OBJECT
public:
    Form1(SystemServices system, DesktopUi &ui, QString appFolder,
        DrawOneToHundred homePageDraw = drawFromTimeOfDay);
    ~Form1() override;

    // Whether every copy is read back from the medium and compared with its original (on unless
    // the program was started with --no-verify). The window is the same either way.
    void setVerifyCopies(bool verify) { verifyCopies_ = verify; }

    // Start-up, lines 102 to 150. Runs once before the window is first shown.
    void Form_Load();

    // Guarded handlers.
    void PushButton1_Click(); // Start Copying
    void PushButton2_Click(); // "..." beside the results folder
    void PushButton3_Click(); // Load Sample/Example Files
    void PushButton4_Click(); // Add All File(s) / Folder(s) In Folder
    void PushButton5_Click(); // Add File(s) / Folder(s)
    void PushButton6_Click(); // Clear List

    // Unguarded handlers.
    void Option1_Click();
    void Option2_Click();
    void Option3_Click();
    void Option4_Click();
    void Combo1_Click();
    void Combo2_Click();
    void Combo3_Click();
    void ListView1_DblClick();
    bool ListView1_OLEDragOver(const QMimeData *mime);
    void ListView1_OLEDragDrop(const QStringList &droppedPaths);

    TransferListModel &transferList() { return transferList_; }

    // Controls, by their classic names.
    QGroupBox *Frame1 = nullptr, *Frame2 = nullptr, *Frame3 = nullptr;
    QRadioButton *Option1 = nullptr, *Option2 = nullptr, *Option3 = nullptr, *Option4 = nullptr;
    QComboBox *Combo1 = nullptr, *Combo2 = nullptr, *Combo3 = nullptr;
    QLineEdit *Text1 = nullptr, *Text2 = nullptr, *Text3 = nullptr;
    QPushButton *PushButton1 = nullptr, *PushButton2 = nullptr, *PushButton3 = nullptr,
                *PushButton4 = nullptr, *PushButton5 = nullptr, *PushButton6 = nullptr;
    TransferListView *ListView1 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QLabel *Label1[5] = {};

    // The drives as discovery listed them, each with its entry (root + "|MySep!!|" + name).
    // Combo1 and Combo3 list the same cards, so one record a card serves both; the card's drive
    // comes along, for Start Copying to tell whether the card is still there.
    struct CardDrive {
        QString entry;
        DriveInfo drive;
    };
    std::vector<CardDrive> CardDrives; // parallel to Combo1 and to Combo3
    QStringList HardDiskDrives; // parallel to Combo2

    static const QString kListToolTip;

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Form1Layout.cpp: the controls where the window was designed, named for screen readers.
    void buildControls();
    void setTabOrderAsDesigned();
    void nameForScreenReaders();
    void setOuterHeightTwips(int twips); // the window's outer height, title bar included
    void setTop(QWidget *control, int topTwips);
    // Form1.cpp: start-up and the handlers' wiring.
    void connectHandlers();
    void setOptionValue(QRadioButton *option, bool on);
    void quietly(const std::function<void()> &handler); // unguarded handlers report nothing
    // Form1Pointer.cpp: the pointer of the window and every control, 0 arrow, 11 busy, 99 hand.
    static constexpr int kPointerDefault = 0;
    static constexpr int kPointerBusy = 11;
    static constexpr int kPointerHand = 99;
    void setMousePointer(int shape);
    bool isBusy() const { return mousePointer_ == kPointerBusy; }
    void installPointerRules();
    void applyPointerShape();
    // Form1Drives.cpp
    void FillDriveLists();
    // Form1List.cpp
    void appendRow(const QString &text, const QString &marker);
    void addChosenFiles(StepRunner &run);
    void addChosenFolder(StepRunner &run);
    void addAllFilesInFolder(StepRunner &run);
    void addAllFoldersInFolder(StepRunner &run);
    // Form1Copy.cpp
    bool cardStillThere(const QComboBox *cardList);
    void refuseRelativeResultsFolder();
    void copyCardToComputer(StepRunner &run);
    void copyComputerToCard(StepRunner &run);
    void runCopy(CopyJob &job, const std::function<void()> &work);
    void showClosingMessage(const CopyJob &job, const QString &doneText);

    FileSystemService &fs_;
    CopyService &engine_;
    DriveSource &drives_;
    DesktopUi &ui_;
    QString appFolder_;
    bool verifyCopies_ = true;
    DrawOneToHundred homePageDraw_;
    SkinFramework skin_;
    TransferListModel transferList_;
    int mousePointer_ = kPointerDefault;
    std::optional<QCursor> customCursor_;
    bool placedOnScreen_ = false; // centred at its first showing
    enum class PointerRule { LeaveAlone, Arrow, Hand };
    QHash<QObject *, PointerRule> pointerRules_;
    CopyJob *runningCopy_ = nullptr;

    friend struct Form1TestPeer; // the pointer and the skin, for their own tests
};

} // namespace halvorix
