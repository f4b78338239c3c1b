// The window's controls where it was designed, a builder for each area (the direction, either
// direction's frame, Start Copying and the progress bar); names for screen readers, tab order and
// the window's size. ControlMaker makes each control and fits its caption to its room.
#include "app/Form1.h"

#include "app/ControlMaker.h"
#include "app/Twips.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

namespace halvorix {

namespace {

// Twips the designed window loses to its title bar and borders (6770 outer, 6315 client).
constexpr int kDesignedNonClientTwips = 455;
constexpr int kClientWidthTwips = 8040;

// The copying direction, at the top.
void buildDirectionFrame(Form1 &form, const ControlMaker &make)
{
    form.Frame3 = make.frame(&form, "Frame3", QStringLiteral("Option"), 120, 120, 7800, 735);
    form.Option1
        = make.option("Option1", form.Frame3, QStringLiteral("Memory Card To Computer"), 270, 300, 2790, 285);
    form.Option2 = make.option(
        "Option2", form.Frame3, QStringLiteral("Computer To Memory Card"), 3240, 300, 3135, 285);
    form.Option1->setChecked(true);
}

// Memory card to computer: the card, the fixed drive and the results folder.
void buildCardToComputerFrame(Form1 &form, const ControlMaker &make)
{
    QGroupBox *frame = form.Frame1
        = make.frame(&form, "Frame1", QStringLiteral("Memory Card To Computer"), 120, 960, 7800, 4170);
    form.Label1[1] = make.label(1, frame, QStringLiteral("Copy From M Card:"), 225, 465, 1695, 225, 2040);
    form.Combo1 = make.combo("Combo1", frame, 2040, 400, 5490, 345);
    form.Label1[0] = make.label(0, frame, QStringLiteral("To Hard Drive:"), 225, 1045, 1695, 225, 2040);
    form.Combo2 = make.combo("Combo2", frame, 2040, 1000, 5490, 345);
    form.Label1[2]
        = make.label(2, frame, QStringLiteral("Save Results To This Folder:"), 225, 1650, 2415, 225, 2745);
    form.Text1 = make.textBox("Text1", frame, 2745, 1600, 3990, 345);
    form.PushButton2 = make.pushButton("PushButton2", frame, QStringLiteral("..."), 6870, 1605, 615, 345);
    form.Text2 = make.textBox("Text2", frame, 915, 2340, 4470, 375);
}

// Computer to memory card: what to copy, the list of it, and where on the card.
void buildComputerToCardFrame(Form1 &form, const ControlMaker &make)
{
    QGroupBox *frame = form.Frame2
        = make.frame(&form, "Frame2", QStringLiteral("Computer To Memory Card"), 120, 960, 7800, 4170);
    form.Option3 = make.option(
        "Option3", frame, QStringLiteral("Select File(s) To Copy To Memory Card"), 180, 300, 3540, 285);
    form.Option4 = make.option(
        "Option4", frame, QStringLiteral("Select Folder(s) To Copy To Memory Card"), 3800, 300, 3780, 285);
    form.Option3->setChecked(true);
    form.ListView1 = new TransferListView(frame);
    form.ListView1->setObjectName(QStringLiteral("ListView1"));
    make.place(form.ListView1, 240, 660, 7300, 1230);
    form.ListView1->setModel(&form.transferList());
    form.ListView1->setToolTip(Form1::kListToolTip);
    form.PushButton5 = make.pushButton("PushButton5", frame, QStringLiteral("Add File(s)"), 240, 2010, 3600,
        405, QStringLiteral("Add Folder(s)"));
    form.PushButton4 = make.pushButton("PushButton4", frame, QStringLiteral("Add All File(s) In Folder"),
        3960, 2010, 3600, 405, QStringLiteral("Add All Folder(s) In Folder"));
    form.PushButton6
        = make.pushButton("PushButton6", frame, QStringLiteral("Clear List"), 240, 2520, 3600, 405);
    form.PushButton3 = make.pushButton(
        "PushButton3", frame, QStringLiteral("Load Sample/Example Files"), 3960, 2520, 3600, 405);
    form.Label1[3] = make.label(3, frame, QStringLiteral("To Memory Card:"), 180, 3135, 1695, 225, 2760);
    form.Combo3 = make.combo("Combo3", frame, 2760, 3090, 4770, 345);
    form.Label1[4]
        = make.label(4, frame, QStringLiteral("Save Results To This Folder:"), 180, 3615, 2535, 225, 2745);
    form.Text3 = make.textBox("Text3", frame, 2745, 3570, 4770, 345);
}

// The window's colours as it was designed, whatever the desktop's theme gives other programs:
// white, black text, light grey buttons, white boxes. A window that took a dark theme's light
// text while it stays white, and dark boxes beside it, could hardly be read. The roles not named
// here follow from these two colours.
QPalette designedPalette()
{
    QPalette palette(QColor(0xf0, 0xf0, 0xf0), Qt::white); // buttons, window
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Highlight, QColor(0x30, 0x8c, 0xc6));
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
    }
    palette.setColor(QPalette::PlaceholderText, Qt::gray);
    return palette;
}

// Start Copying and the progress bar, below whichever direction's frame shows.
void buildCopyControls(Form1 &form, const ControlMaker &make)
{
    form.PushButton1
        = make.pushButton("PushButton1", &form, QStringLiteral("Start Copying"), 120, 5250, 7800, 405);
    form.ProgressBar1 = new QProgressBar(&form);
    form.ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    make.place(form.ProgressBar1, 120, 5775, 7800, 405);
    form.ProgressBar1->setRange(0, 1000); // bytes done of bytes to do, in thousandths
    form.ProgressBar1->setValue(0);
    form.ProgressBar1->setTextVisible(false);
}

} // namespace

const QString Form1::kListToolTip = QStringLiteral(
    "Drag and drop files here. Double-click item to remove it. Move | line to right and out of "
    "window to reveal full names.");

Form1::Form1(SystemServices system, DesktopUi &ui, QString appFolder, DrawOneToHundred homePageDraw)
    : fs_(system.files),
      engine_(system.engine),
      drives_(system.drives),
      ui_(ui),
      appFolder_(std::move(appFolder)),
      homePageDraw_(std::move(homePageDraw))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
        | Qt::WindowCloseButtonHint);
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setBold(true);
    setFont(font);
    buildControls();
    connectHandlers();
    installPointerRules();
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
    setTabOrderAsDesigned();
    setOuterHeightTwips(kDesignedNonClientTwips + 6315);
}

Form1::~Form1() = default;

void Form1::buildControls()
{
    const ControlMaker make(font());
    buildDirectionFrame(*this, make);
    buildCardToComputerFrame(*this, make);
    buildComputerToCardFrame(*this, make);
    buildCopyControls(*this, make);

    for (QWidget *part : findChildren<QWidget *>()) { // parts inside controls: the list's header
        if (!part->testAttribute(Qt::WA_SetFont))
            part->setFont(make.designed());
    }
    nameForScreenReaders();

    // A window with a style sheet passes no palette on to its controls: each takes the designed
    // one itself, before any sheet (a sheet of a control's own would put the desktop's back).
    // Option buttons, frames and labels paint no background: the window's white shows through.
    const QPalette designed = designedPalette();
    setPalette(designed);
    for (QWidget *control : findChildren<QWidget *>())
        control->setPalette(designed);
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

} // namespace halvorix
