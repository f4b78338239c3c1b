#include "app/Form1.h"

#include "app/ApplicationIcon.h"
#include "core/StepRunner.h"
#include "app/Twips.h"
#include "app/CopyJob.h"
#include "drives/BrowseFolder.h"
#include "drives/Destinations.h"
#include "drives/DriveLists.h"
#include "core/AppError.h"
#include "core/FileSystemService.h"
#include "platform/qt/DesktopUi.h"
#include "transferlist/AddFolder.h"
#include "transferlist/CommonDialog.h"
#include "transferlist/Intake.h"
#include "transferlist/PathText.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QUrl>
#include <algorithm>

namespace halvorix {

namespace {

const QString kSettingsApp = QStringLiteral("Brackwen");
const QString kSettingsSection = QStringLiteral("Halvorix");
const QString kSettingsKey = QStringLiteral("Option1");

QString location(const char *handler)
{
    return QStringLiteral("in Tesmarin2016/11/03.Form1.") + QLatin1String(handler) + QLatin1Char(' ');
}

// Twips the designed window loses to its title bar and borders (6770 outer, 6315 client).
constexpr int kDesignedNonClientTwips = 455;
constexpr int kClientWidthTwips = 8040;

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

} // namespace

const QString Form1::kListToolTip = QStringLiteral(
    "Drag and drop files here. Double-click item to remove it. Move | line to right and out of "
    "window to reveal full names.");

// ---------------------------------------------------------------------------------------------
// ListView1

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
    if (onDragOver && onDragOver(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
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

// ---------------------------------------------------------------------------------------------
// Construction and layout

Form1::Form1(FileSystemService &fs, DesktopUi &ui, QString appFolder, DrawOneToHundred homePageDraw)
    : fs_(fs), ui_(ui), appFolder_(std::move(appFolder)), homePageDraw_(std::move(homePageDraw))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
        | Qt::WindowCloseButtonHint);
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setBold(true);
    setFont(font);
    buildControls();
    // Frames with their caption on the border line, as the window was designed. A sheet reaches
    // every box and dialog the window owns, so it names the window's own frames only, and the
    // fonts are set on the controls (above and in buildControls), not here: message boxes and
    // file dialogs keep the desktop's font.
    setStyleSheet(styleSheet()
        + QStringLiteral(
            "QWidget#Form1 > QGroupBox { border: 1px solid #aab4bf; border-radius: 3px; margin-top: 7px; "
            "padding-top: 4px; }"
            "QWidget#Form1 > QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; "
            "left: 7px; padding: 0 3px; }"));
    setBackgroundColour(*this, Qt::white);
    setTabOrderAsDesigned();
    setOuterHeightTwips(kDesignedNonClientTwips + 6315);
}

Form1::~Form1() = default;

void Form1::buildControls()
{
    // A window with a style sheet passes no font on to its controls: each takes the designed
    // font itself (push buttons have their own), so captions are measured in it from the start.
    const QFont designed = font();
    auto place = [&designed](QWidget *control, int left, int top, int width, int height) {
        if (!control->testAttribute(Qt::WA_SetFont))
            control->setFont(designed);
        control->setGeometry(tw(left), tw(top), tw(width), tw(height));
    };
    auto frame = [&](const char *name, const QString &caption, int l, int t, int w, int h) {
        auto *box = new QGroupBox(caption, this);
        box->setObjectName(QLatin1String(name));
        place(box, l, t, w, h);
        return box;
    };
    // Font metrics differ from the designer's, and DejaVu Sans (drawn where the designed font's
    // metric twin is missing) is wider still. A caption that would not fit its room is set
    // narrower, never clipped and never moved: a little tighter first, then condensed, then a
    // pixel or two smaller, whichever fits first.
    auto fitCaption = [](QWidget *control, int room, const std::function<int()> &needed) {
        const QFont base = control->font();
        auto fits = [&] { return needed() <= room; };
        for (int spacing = 99; spacing >= 92 && !fits(); --spacing) {
            QFont tighter = base;
            tighter.setLetterSpacing(QFont::PercentageSpacing, spacing);
            control->setFont(tighter);
        }
        for (int smaller = 0; smaller <= 2 && !fits(); ++smaller) {
            for (int stretch = smaller == 0 ? 95 : 100; stretch >= 80 && !fits(); stretch -= 5) {
                QFont narrower = base;
                narrower.setPointSizeF(base.pointSizeF() - 0.75 * smaller);
                narrower.setStretch(stretch);
                control->setFont(narrower);
            }
        }
    };
    auto option = [&](const char *name, QWidget *parent, const QString &caption, int l, int t, int w, int h) {
        auto *button = new QRadioButton(caption, parent);
        button->setObjectName(QLatin1String(name));
        place(button, l, t, w, h);
        // Its neighbour leaves it no room to grow.
        fitCaption(button, button->width(), [button] { return button->sizeHint().width(); });
        return button;
    };
    // A label may grow to the right up to a little short of the control it names (at `upTo`).
    auto label
        = [&](int index, QWidget *parent, const QString &caption, int l, int t, int w, int h, int upTo) {
              auto *text = new QLabel(caption, parent);
              text->setObjectName(QStringLiteral("Label1_%1").arg(index));
              place(text, l, t, w, h);
              const int room = std::max(text->width(), tw(upTo - l) - 4);
              fitCaption(text, room, [text] { return text->sizeHint().width(); });
              text->resize(std::clamp(text->sizeHint().width(), text->width(), room), text->height());
              Label1[index] = text;
          };
    auto combo = [&](const char *name, QWidget *parent, int l, int t, int w, int h) {
        auto *box = new QComboBox(parent);
        box->setObjectName(QLatin1String(name));
        box->setEditable(false);
        place(box, l, t, w, h);
        return box;
    };
    auto textBox = [&](const char *name, QWidget *parent, int l, int t, int w, int h) {
        auto *edit = new QLineEdit(parent);
        edit->setObjectName(QLatin1String(name));
        place(edit, l, t, w, h);
        return edit;
    };
    QFont buttonFont = font();
    buttonFont.setPointSizeF(11.25);
    // A button's caption fits inside its frame and the style's button margin on either side;
    // `other` is the caption it shows in the other mode, if any.
    auto pushButton = [&](const char *name, QWidget *parent, const QString &caption, int l, int t, int w,
                          int h, const QString &other = QString()) {
        auto *button = new QPushButton(caption, parent);
        button->setObjectName(QLatin1String(name));
        button->setFont(buttonFont);
        place(button, l, t, w, h);
        const int margins = 2
            * (button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button)
                + button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button));
        fitCaption(button, button->width(), [button, caption, other, margins] {
            const QFontMetrics metrics = button->fontMetrics();
            return std::max(metrics.horizontalAdvance(caption), metrics.horizontalAdvance(other)) + margins;
        });
        return button;
    };

    Frame3 = frame("Frame3", QStringLiteral("Option"), 120, 120, 7800, 735);
    Option1 = option("Option1", Frame3, QStringLiteral("Memory Card To Computer"), 270, 300, 2790, 285);
    Option2 = option("Option2", Frame3, QStringLiteral("Computer To Memory Card"), 3240, 300, 3135, 285);
    Option1->setChecked(true);

    Frame1 = frame("Frame1", QStringLiteral("Memory Card To Computer"), 120, 960, 7800, 4170);
    label(1, Frame1, QStringLiteral("Copy From M Card:"), 225, 465, 1695, 225, 2040);
    Combo1 = combo("Combo1", Frame1, 2040, 400, 5490, 345);
    label(0, Frame1, QStringLiteral("To Hard Drive:"), 225, 1045, 1695, 225, 2040);
    Combo2 = combo("Combo2", Frame1, 2040, 1000, 5490, 345);
    label(2, Frame1, QStringLiteral("Save Results To This Folder:"), 225, 1650, 2415, 225, 2745);
    Text1 = textBox("Text1", Frame1, 2745, 1600, 3990, 345);
    PushButton2 = pushButton("PushButton2", Frame1, QStringLiteral("..."), 6870, 1605, 615, 345);
    Text2 = textBox("Text2", Frame1, 915, 2340, 4470, 375);

    Frame2 = frame("Frame2", QStringLiteral("Computer To Memory Card"), 120, 960, 7800, 4170);
    Option3 = option(
        "Option3", Frame2, QStringLiteral("Select File(s) To Copy To Memory Card"), 180, 300, 3540, 285);
    Option4 = option(
        "Option4", Frame2, QStringLiteral("Select Folder(s) To Copy To Memory Card"), 3800, 300, 3780, 285);
    Option3->setChecked(true);
    ListView1 = new TransferListView(Frame2);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    place(ListView1, 240, 660, 7300, 1230);
    ListView1->setModel(&transferList_);
    ListView1->setToolTip(kListToolTip);
    PushButton5 = pushButton("PushButton5", Frame2, QStringLiteral("Add File(s)"), 240, 2010, 3600, 405,
        QStringLiteral("Add Folder(s)"));
    PushButton4 = pushButton("PushButton4", Frame2, QStringLiteral("Add All File(s) In Folder"), 3960, 2010,
        3600, 405, QStringLiteral("Add All Folder(s) In Folder"));
    PushButton6 = pushButton("PushButton6", Frame2, QStringLiteral("Clear List"), 240, 2520, 3600, 405);
    PushButton3 = pushButton(
        "PushButton3", Frame2, QStringLiteral("Load Sample/Example Files"), 3960, 2520, 3600, 405);
    label(3, Frame2, QStringLiteral("To Memory Card:"), 180, 3135, 1695, 225, 2760);
    Combo3 = combo("Combo3", Frame2, 2760, 3090, 4770, 345);
    label(4, Frame2, QStringLiteral("Save Results To This Folder:"), 180, 3615, 2535, 225, 2745);
    Text3 = textBox("Text3", Frame2, 2745, 3570, 4770, 345);

    PushButton1 = pushButton("PushButton1", this, QStringLiteral("Start Copying"), 120, 5250, 7800, 405);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    place(ProgressBar1, 120, 5775, 7800, 405);
    ProgressBar1->setRange(0, 1000); // bytes done of bytes to do, in thousandths
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    for (QWidget *part : findChildren<QWidget *>()) { // parts inside controls: the list's header
        if (!part->testAttribute(Qt::WA_SetFont))
            part->setFont(designed);
    }
    nameForScreenReaders();

    // Option buttons, frames and labels share the window's white background.
    for (QWidget *control : findChildren<QWidget *>()) {
        if (qobject_cast<QRadioButton *>(control) || qobject_cast<QGroupBox *>(control)
            || qobject_cast<QLabel *>(control))
            setBackgroundColour(*control, Qt::white);
    }

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

    // Pointer rules: every control reports its mouse moves to the window, which applies the rule
    // of that control: the arrow over the surfaces, the hand over buttons, nothing elsewhere.
    for (QWidget *surface : std::initializer_list<QWidget *>{this, Frame1, Frame2, Frame3, ListView1,
             ListView1->viewport(), ListView1->header()->viewport(), Text1})
        pointerRules_.insert(surface, PointerRule::Arrow);
    for (QWidget *button : {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton6})
        pointerRules_.insert(button, PointerRule::Hand);
    setMouseTracking(true);
    installEventFilter(this);
    for (QWidget *control : findChildren<QWidget *>()) {
        control->setMouseTracking(true);
        control->installEventFilter(this);
    }
}

void Form1::nameForScreenReaders()
{
    // Buttons, option buttons and frames are named by their captions (Qt does that itself); a
    // list or text box is named by the label beside it.
    const std::pair<QLabel *, QWidget *> labelled[] = {{Label1[1], Combo1}, {Label1[0], Combo2},
        {Label1[2], Text1}, {Label1[3], Combo3}, {Label1[4], Text3}};
    for (const auto &[label, control] : labelled) {
        label->setBuddy(control);
        control->setAccessibleName(label->text());
    }
    PushButton2->setAccessibleName(QStringLiteral("Choose the folder to save results to"));
    ListView1->setAccessibleName(QStringLiteral("Files and folders to copy to the memory card"));
    ListView1->setAccessibleDescription(kListToolTip);
    ProgressBar1->setAccessibleName(QStringLiteral("Copy progress"));
    Text2->setAccessibleName(QStringLiteral("Memory card to copy from"));
    setAccessibleName(QString::fromUtf8(kProductName));
}

void Form1::setTabOrderAsDesigned()
{
    // Designed tab indexes 0 to 16 of the controls that take the focus.
    const std::vector<QWidget *> order = {Combo1, Combo2, Text1, PushButton2, Option3, Option4, ListView1,
        PushButton5, PushButton4, PushButton6, PushButton3, Combo3, Text3, PushButton1, Option1, Option2};
    for (size_t i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
    Text2->setFocusPolicy(Qt::NoFocus); // below Frame1's edge: never seen
}

void Form1::setOuterHeightTwips(int twips)
{
    outerHeightTwips_ = twips;
    // The title bar and borders: as measured once the window manager framed us, else as designed.
    int nonClient = tw(kDesignedNonClientTwips);
    if (isVisible()) {
        const int measured = frameGeometry().height() - geometry().height();
        if (measured > 0)
            nonClient = measured;
    }
    setFixedSize(tw(kClientWidthTwips), tw(twips) - nonClient);
}

void Form1::setTop(QWidget *control, int topTwips)
{
    control->move(control->x(), tw(topTwips));
}

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

void Form1::quietly(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const std::exception &) {
        // These handlers have no report of their own, and whatever fails in one (a failed
        // allocation included) must not end the program from inside Qt's event loop. The end
        // of the program (ProgramEnded) is no std::exception and passes.
    }
}

// ---------------------------------------------------------------------------------------------
// Pointer conventions

void Form1::setMousePointer(int shape)
{
    mousePointer_ = shape;
    applyPointerShape();
}

void Form1::applyPointerShape()
{
    const bool busy = mousePointer_ == kPointerBusy;
    QCursor cursor(Qt::ArrowCursor);
    if (busy)
        cursor = QCursor(Qt::WaitCursor);
    else if (mousePointer_ == kPointerHand)
        cursor = customCursor_.value_or(QCursor(Qt::PointingHandCursor));
    setCursor(cursor);
    const QHeaderView *header = ListView1->header();
    for (QWidget *control : findChildren<QWidget *>()) {
        // The window's shape covers every control, but the arrow and the hand leave a text box
        // its I-beam and the list's header its resize pointer over a column divider (the header
        // sets that itself, only on a header without a pointer of its own), so that a user sees
        // where to type and where to drag. The busy pointer covers them all.
        if (busy) { // NOLINT(bugprone-branch-clone): the busy pointer first, over every control
            control->setCursor(cursor);
        } else if (const auto *edit = qobject_cast<QLineEdit *>(control)) {
            control->setCursor(edit->isReadOnly() ? Qt::ArrowCursor : Qt::IBeamCursor);
        } else if (control == header || control->parentWidget() == header) {
            control->unsetCursor(); // the list's shape, or the header's own over a divider
        } else {
            control->setCursor(cursor);
        }
    }
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::MouseMove)
        return QWidget::eventFilter(watched, event);
    const PointerRule rule = pointerRules_.value(watched, PointerRule::LeaveAlone);
    if (mousePointer_ != kPointerBusy && rule != PointerRule::LeaveAlone) {
        const int wanted = rule == PointerRule::Hand ? kPointerHand : kPointerDefault;
        if (mousePointer_ != wanted)
            setMousePointer(wanted);
    }
    // Each control answers for itself: a move a control ignores must not reach the frame behind
    // it. Moves without a button pressed serve nothing else, so they end here; the header alone
    // needs them, to show its resize pointer over a column divider.
    if (watched == ListView1->header()->viewport())
        return false;
    const auto *move = static_cast<QMouseEvent *>(event);
    return move->buttons() == Qt::NoButton;
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
    run.step(128, [&] { CardSourceDrives = QStringList(); });
    run.step(130, [&] { HardDiskDrives = QStringList(); });
    run.step(132, [&] { CardTargetDrives = QStringList(); });
    run.step(134, [&] { FillDriveLists(); });
    run.step(136, [&] { transferList_.addColumn(QStringLiteral(" Source")); });
    run.step(138, [&] { transferList_.addColumn(QString()); });
    run.step(140, [&] { ListView1->setColumnWidth(0, tw(6500)); });
    run.step(142, [&] { ListView1->setColumnWidth(1, tw(1)); });
    run.step(144, [&] {
        const QString stored
            = ui_.getSetting(kSettingsApp, kSettingsSection, kSettingsKey, QStringLiteral("True"));
        setOptionValue(Option1, ToBoolean(stored));
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

void Form1::FillDriveLists()
{
    DriveListTargets targets;
    targets.addCard = [this](const QString &entry, const QString &itemText, const DriveInfo &drive) {
        const QSignalBlocker block1(Combo1), block3(Combo3);
        cardDrives_.push_back(drive);
        CardSourceDrives.append(entry);
        Combo1->addItem(itemText);
        CardTargetDrives.append(entry);
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
    halvorix::FillDriveLists(fs_, targets);
}

// ---------------------------------------------------------------------------------------------
// Direction and destinations

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
    const QString card = CardSourceDrives.at(Combo1->currentIndex());
    const QString disk = HardDiskDrives.at(Combo2->currentIndex());
    Text1->setText(resultsFolderForCard(disk, card));
    Text2->setText(cardRootFolder(card));
}

void Form1::Combo2_Click()
{
    if (Combo1->currentIndex() < 0 || Combo2->currentIndex() < 0)
        return;
    const QString card = CardSourceDrives.at(Combo1->currentIndex());
    const QString disk = HardDiskDrives.at(Combo2->currentIndex());
    Text1->setText(resultsFolderForDisk(disk));
    Text2->setText(cardRootFolder(card));
}

void Form1::Combo3_Click()
{
    if (Combo3->currentIndex() < 0)
        return;
    Text3->setText(cardTransferFolder(CardTargetDrives.at(Combo3->currentIndex())));
}

void Form1::PushButton2_Click()
{
    StepRunner run(ui_, location("PushButton2_Click"), ReportForm::Full);
    QString path;
    run.step(100, [&] { path = PickFolder(ui_, this, kPickFolderPrompt); });
    if (run.test(102, [&] { return path.isEmpty(); }))
        return;
    if (run.test(104, [&] { return isNetworkPath(path); }))
        run.step(108, [&] { path = path + QLatin1Char('/'); });
    else
        run.step(106, [&] { path = resultsFolderFromPicked(path); });
    run.step(110, [&] { Text1->setText(path); });
}

// ---------------------------------------------------------------------------------------------
// Transfer list

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
    run.step(110, [&] { CommonDialog1.ShowOpen(ui_, this); });
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
    run.step(148, [&] { path = PickFolder(ui_, this, kPickFolderPrompt); });
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
    run.step(102, [&] { path = PickFolder(ui_, this, kPickFolderPrompt); });
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
    run.step(136, [&] { path = PickFolder(ui_, this, kPickFolderPrompt); });
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
