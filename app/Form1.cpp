// Start-up, the handlers wired to their controls, and the window's showing and closing. The
// controls are made in Form1Layout.cpp; the handlers live in Form1Drives.cpp, Form1List.cpp and
// Form1Copy.cpp, the pointer shapes in Form1Pointer.cpp.
#include "app/Form1.h"

#include "app/ApplicationIcon.h"
#include "app/CopyJob.h"
#include "app/Form1Common.h"
#include "app/Twips.h"
#include "core/StepRunner.h"
#include "platform/qt/DesktopUi.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace halvorix {

using form1::location;

void Form1::connectHandlers()
{
    connect(Option1, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            quietly([this] { Option1_Click(); });
    });
    connect(Option2, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            quietly([this] { Option2_Click(); });
    });
    connect(Option3, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            quietly([this] { Option3_Click(); });
    });
    connect(Option4, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            quietly([this] { Option4_Click(); });
    });
    for (QComboBox *box : {Combo1, Combo2, Combo3}) {
        auto handler = [this, box] {
            quietly([this, box] {
                if (box == Combo1)
                    Combo1_Click();
                else if (box == Combo2)
                    Combo2_Click();
                else
                    Combo3_Click();
            });
        };
        connect(box, &QComboBox::currentIndexChanged, this, handler);
        connect(box, &QComboBox::activated, this, handler);
    }
    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
    connect(PushButton3, &QPushButton::clicked, this, [this] { PushButton3_Click(); });
    connect(PushButton4, &QPushButton::clicked, this, [this] { PushButton4_Click(); });
    connect(PushButton5, &QPushButton::clicked, this, [this] { PushButton5_Click(); });
    connect(PushButton6, &QPushButton::clicked, this, [this] { PushButton6_Click(); });
    ListView1->onDoubleClick = [this] { quietly([this] { ListView1_DblClick(); }); };
    ListView1->onDragOver = [this](const QMimeData *mime) { return ListView1_OLEDragOver(mime); };
    ListView1->onDrop = [this](const QMimeData *mime) {
        const QStringList paths = localPathsOf(mime);
        quietly([this, &paths] { ListView1_OLEDragDrop(paths); });
    };
}

void Form1::quietly(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const std::exception &) {
        // These handlers have no report of their own, and whatever fails in one (a failed
        // allocation included) must not end the program from inside Qt's event loop.
    }
}

// ---------------------------------------------------------------------------------------------
// Start-up

void Form1::Form_Load()
{
    StepRunner run(ui_, location("Form_Load"), ReportForm::Full);
    const QString cursorPath = appFolder_ + QStringLiteral("/HAND-M.CUR");
    run.step(102, [&] { SkinApply(fs_, appFolder_, *this, skin_); });
    run.step(104, [&] { setWindowTitle(QString::fromUtf8(kProductName)); });
    run.step(104, [&] { setWindowIcon(applicationIcon()); });
    run.step(104, [&] { ui_.setApplicationTitle(AppTitleSet(QString::fromUtf8(kProductName))); });
    if (run.test(106, [&] { return FileExists(fs_, cursorPath); }))
        run.step(108, [&] { customCursor_ = ui_.loadCursorFile(cursorPath); });
    run.step(110, [&] { HomePageOpen(ui_, homePageDraw_); });
    run.step(128, [&] { CardDrives.clear(); }); // the cards of Combo1 and of Combo3 (132) alike
    run.step(130, [&] { HardDiskDrives = QStringList(); });
    run.step(134, [&] { FillDriveLists(); });
    run.step(136, [&] { transferList_.addColumn(QStringLiteral(" Source")); });
    run.step(138, [&] { transferList_.addColumn(QString()); });
    run.step(140, [&] { ListView1->setColumnWidth(0, tw(6500)); });
    run.step(142, [&] { ListView1->setColumnWidth(1, tw(1)); });
    run.step(144, [&] {
        const QString stored = ui_.getSetting(
            form1::kSettingsApp, form1::kSettingsSection, form1::kSettingsKey, QStringLiteral("True"));
        setOptionValue(Option1, toBoolean(stored));
    });
    if (run.test(146, [&] { return !Option1->isChecked(); }))
        run.step(148, [&] { Option2->setChecked(true); }); // its click behaviour runs
    else
        run.step(150, [&] { Option1_Click(); });
}

void Form1::setOptionValue(QRadioButton *option, bool on)
{
    if (option->isChecked() == on)
        return;
    // An exclusive option button cannot be switched off directly; switching one off leaves the
    // group with none on, and raises no click.
    const bool exclusive = option->autoExclusive();
    option->setAutoExclusive(false);
    option->setChecked(on);
    option->setAutoExclusive(exclusive);
}

// ---------------------------------------------------------------------------------------------
// Showing and closing

void Form1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Centred when it first opens; afterwards (restored from minimised, say) it stays where the
    // user put it.
    if (placedOnScreen_)
        return;
    placedOnScreen_ = true;
    if (const QScreen *screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void Form1::closeEvent(QCloseEvent *event)
{
    // The close request is never refused, also in the middle of an operation, and never waits for
    // a device: the window goes at once. A copy stops at its next step and removes its temporary
    // file; one that a hung device holds in the kernel is left to it (nothing incomplete has a
    // name, and the next run removes the temporary file).
    event->accept();
    hide();
    QGuiApplication::sync(); // gone from the screen now, not when the program has ended
    if (runningCopy_) {
        runningCopy_->abandon();
        runningCopy_->waitForWork(std::chrono::milliseconds(300));
    }
    ui_.endProgram();
}

} // namespace halvorix
