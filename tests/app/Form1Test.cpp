#include "core/AppError.h"
#include "support/FormFixture.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <gtest/gtest.h>

using namespace halvorix;
using namespace halvorix::test;
using Form1Layout = LoadedForm;
using Form1Direction = LoadedForm;
using Form1Pointer = LoadedForm;
using Form1Window = LoadedForm;

namespace {
bool reportedAtLine(const FakeDesktopUi &ui, const char *handler, int line)
{
    const QString where = QString("in Tesmarin2016/11/03.Form1.%1 at line %2").arg(handler).arg(line);
    return std::any_of(ui.boxes.begin(), ui.boxes.end(),
        [&](const auto &box) { return box.title == "Application Error" && box.text.contains(where); });
}

// The colour a control's background is painted in, as its palette holds it once polished.
QColor backgroundOf(QWidget *control)
{
    control->ensurePolished();
    return control->palette().color(QPalette::Window);
}

// The pointer the window shows over a push button: the hand, the cursor file's if there is one.
Qt::CursorShape handOf(Form1 &form)
{
    Form1TestPeer::setMousePointer(form, Form1TestPeer::kHand);
    return form.cursor().shape();
}
} // namespace

// Without a skin or a cursor file in the program's folder: white, the standard pointer, no box;
// the program's icon in small and large sizes, its pictures linked into the program.
TEST_F(Form1Layout, TitleIconFixedBorderAndAnEmptyListWithItsHeader)
{
    EXPECT_EQ(form.windowTitle(), "Halvorix");
    EXPECT_EQ(f.ui.applicationTitle(), "Halvorix");
    EXPECT_EQ(form.PushButton3->text(), "Load Sample/Example Files");
    EXPECT_EQ(form.Label1[2]->text(), "Save Results To This Folder:");
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(form.minimumSize(), form.maximumSize()); // fixed border
    EXPECT_EQ(form.ListView1->toolTip(), Form1::kListToolTip);
    EXPECT_EQ(form.transferList().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), " Source");
    EXPECT_EQ(form.transferList().columnCount(), 2);
    EXPECT_EQ(backgroundOf(&form), QColor(Qt::white));
    EXPECT_EQ(backgroundOf(form.Option1), QColor(Qt::white));
    EXPECT_EQ(backgroundOf(form.Frame1), QColor(Qt::white));
    EXPECT_FALSE(Form1TestPeer::skin(form).loaded());
    EXPECT_EQ(handOf(form), Qt::PointingHandCursor);
    EXPECT_TRUE(f.ui.boxes.empty());
    const QIcon icon = form.windowIcon();
    ASSERT_FALSE(icon.isNull());
    for (int size : {16, 48, 256}) {
        EXPECT_EQ(icon.pixmap(size, size).size(), QSize(size, size)) << size;
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
    }
}

TEST(Form1Skin, PresentSkinColoursWindowOptionsFramesAndLabelsOnly)
{
    FormFixture f;
    f.appFolder.write("x/o.cjs", "QPushButton { color: navy; }");
    Form1 &form = f.load();
    const QColor face = QApplication::palette().color(QPalette::Button);
    const SkinFramework &skin = Form1TestPeer::skin(form);
    EXPECT_TRUE(skin.Option(5));
    EXPECT_TRUE(skin.Option(10));
    EXPECT_TRUE(form.styleSheet().contains("navy"));
    EXPECT_TRUE(qApp->styleSheet().contains("navy")); // the dialogs take the skin too
    for (QWidget *w : std::initializer_list<QWidget *>{
             &form, form.Option1, form.Option4, form.Frame2, form.Frame3, form.Label1[0], form.Label1[4]})
        EXPECT_EQ(backgroundOf(w), face) << w->objectName().toStdString();
    for (QWidget *w : std::initializer_list<QWidget *>{form.PushButton1, form.Combo1, form.Text1})
        EXPECT_NE(backgroundOf(w), face) << w->objectName().toStdString();
    qApp->setStyleSheet(QString());
}

TEST(Form1Skin, SkinThatFailsToLoadKeepsColoursAndReportsAtLine102)
{
    FormFixture f;
    f.appFolder.mkdir("x");
    // A link to nothing is listed as a file but cannot be read.
    ASSERT_TRUE(QFile::link(f.appFolder.path("x/nowhere"), f.appFolder.path("x/o.cjs")));
    Form1 &form = f.load();
    EXPECT_TRUE(reportedAtLine(f.ui, "Form_Load", 102));
    EXPECT_FALSE(Form1TestPeer::skin(form).loaded());
    EXPECT_EQ(backgroundOf(form.Frame1), QApplication::palette().color(QPalette::Button));
    EXPECT_EQ(form.windowTitle(), "Halvorix"); // start-up went on
}

TEST(Form1Cursor, PresentAndUnreadable)
{
    {
        FormFixture f;
        f.appFolder.write("HAND-M.CUR", "cursor");
        QString loaded;
        f.ui.cursorLoader = [&](const QString &path) {
            loaded = path;
            return QCursor(Qt::OpenHandCursor);
        };
        EXPECT_EQ(handOf(f.load()), Qt::OpenHandCursor);
        EXPECT_EQ(loaded, f.appFolder.path("HAND-M.CUR"));
    }
    {
        FormFixture f;
        f.appFolder.write("HAND-M.CUR", "not a picture");
        f.ui.cursorLoader
            = [](const QString &path) -> QCursor { throw AppError(75, "Invalid picture: " + path); };
        Form1 &form = f.load();
        EXPECT_EQ(handOf(form), Qt::PointingHandCursor); // Qt's own hand
        ASSERT_EQ(f.ui.boxes.size(), 1u);
        EXPECT_TRUE(reportedAtLine(f.ui, "Form_Load", 108));
    }
}

TEST(Form1HomePage, OpensOnlyOnDrawSevenAndOnlyWhenTheBuildNamesAnAddress)
{
    FormFixture f;
    f.homePageDraw = 7;
    f.load();
    if (*kHomePageAddress) {
        ASSERT_EQ(f.ui.programsRun.size(), 1u);
        EXPECT_EQ(f.ui.programsRun[0].second, QStringList{kHomePageAddress});
    } else {
        EXPECT_TRUE(f.ui.programsRun.empty());
    }
    FormFixture g;
    g.load();
    EXPECT_TRUE(g.ui.programsRun.empty());
}

struct DirectionCase {
    const char *stored; // nullptr: absent
    bool cardToComputer;
    bool reportAt144;
};

class Form1DirectionSetting : public ::testing::TestWithParam<DirectionCase> { };

TEST_P(Form1DirectionSetting, RestoredFromTheSettingAndWrittenBack)
{
    const DirectionCase c = GetParam();
    FormFixture f;
    if (c.stored)
        f.ui.settings["Brackwen/Halvorix/Option1"] = c.stored;
    Form1 &form = f.load();
    EXPECT_EQ(form.Option1->isChecked(), c.cardToComputer);
    EXPECT_EQ(form.Option2->isChecked(), !c.cardToComputer);
    EXPECT_EQ(form.Frame1->isVisibleTo(&form), c.cardToComputer);
    EXPECT_EQ(form.Frame2->isVisibleTo(&form), !c.cardToComputer);
    EXPECT_EQ(f.ui.setting("Option1"), c.cardToComputer ? "True" : "False");
    EXPECT_EQ(reportedAtLine(f.ui, "Form_Load", 144), c.reportAt144);
    EXPECT_EQ(f.ui.boxes.size(), c.reportAt144 ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Stored, Form1DirectionSetting,
    ::testing::Values(DirectionCase{nullptr, true, false}, DirectionCase{"True", true, false},
        DirectionCase{"False", false, false}, DirectionCase{"1", true, false},
        DirectionCase{"0", false, false}, DirectionCase{"garbage", true, true}));

TEST_F(Form1Direction, SwitchingKeepsSelectionsAndTextsAndTheAddButtonsFollowTheMode)
{
    f.pickCardToComputer();
    form.Combo3->setCurrentIndex(0);
    const QString text1 = form.Text1->text(), text2 = form.Text2->text(), text3 = form.Text3->text();
    form.Option2->setChecked(true);
    EXPECT_EQ(f.ui.setting("Option1"), "False");
    form.Option1->setChecked(true);
    EXPECT_EQ(f.ui.setting("Option1"), "True");
    EXPECT_EQ(form.Combo1->currentIndex(), 0);
    EXPECT_EQ(form.Combo2->currentIndex(), 0);
    EXPECT_EQ(form.Text1->text(), text1);
    EXPECT_EQ(form.Text2->text(), text2);
    EXPECT_EQ(form.Text3->text(), text3);
    form.Option4->setChecked(true); // the add buttons' captions follow the mode
    EXPECT_EQ(form.PushButton5->text(), "Add Folder(s)");
    EXPECT_EQ(form.PushButton4->text(), "Add All Folder(s) In Folder");
    form.Option3->setChecked(true);
    EXPECT_EQ(form.PushButton5->text(), "Add File(s)");
    EXPECT_EQ(form.PushButton4->text(), "Add All File(s) In Folder");
}

// The option buttons' handlers report nothing, and nothing that fails in one ends the program.
TEST_F(Form1Direction, AFailureOfAnyKindInAnUnguardedHandlerIsSwallowed)
{
    f.ui.beforeSaveSetting = [] { throw std::bad_alloc(); };
    EXPECT_NO_THROW(form.Option2->setChecked(true));
    f.ui.beforeSaveSetting = [] { throw AppError(kPathFileAccessError, "settings not writable"); };
    EXPECT_NO_THROW(form.Option1->setChecked(true));
    EXPECT_TRUE(form.Option1->isChecked());
    EXPECT_TRUE(f.ui.boxes.empty());
}

// The hand over push buttons and the arrow over surfaces (the list's header among them), other
// controls leaving the shape as it is; text boxes keep their I-beam and the header its resize
// pointer. Busy covers everything and mouse moves leave it alone; afterwards each control has its
// own shape again and the hand rule holds.
TEST_F(Form1Pointer, HandOverButtonsArrowOverSurfacesOwnShapesElsewhereAndBusyOverAll)
{
    form.Option2->setChecked(true);
    form.show(); // mouse events reach visible controls only
    QHeaderView *header = form.ListView1->header();
    auto moveOverHeaderAt = [&](int x) {
        QMouseEvent move(
            QEvent::MouseMove, QPointF(x, 2), QPointF(x, 2), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(header->viewport(), &move);
        return header->viewport()->cursor().shape();
    };
    const int divider = header->sectionViewportPosition(0) + header->sectionSize(0) - 1;
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
    FormFixture::moveMouseOver(form.PushButton3);
    EXPECT_EQ(form.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(form.Frame2->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(form.Text3->cursor().shape(), Qt::IBeamCursor);
    FormFixture::moveMouseOver(form.Combo3); // rule 3: other controls leave the hand
    EXPECT_EQ(form.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(moveOverHeaderAt(divider), Qt::SplitHCursor);
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(moveOverHeaderAt(20), Qt::ArrowCursor);
    FormFixture::moveMouseOver(form.PushButton1);
    FormFixture::moveMouseOver(form.Frame2);
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
    FormFixture::moveMouseOver(form.Combo3);
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
    FormFixture::moveMouseOver(form.PushButton1);
    FormFixture::moveMouseOver(form.ListView1->viewport());
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);

    Form1TestPeer::setMousePointer(form, Form1TestPeer::kBusy);
    FormFixture::moveMouseOver(form.PushButton1);
    FormFixture::moveMouseOver(&form);
    EXPECT_EQ(form.cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(form.PushButton1->cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(form.Text1->cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(moveOverHeaderAt(divider), Qt::WaitCursor);
    Form1TestPeer::setMousePointer(form, Form1TestPeer::kArrow);
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(form.Text1->cursor().shape(), Qt::IBeamCursor);
    EXPECT_EQ(moveOverHeaderAt(divider), Qt::SplitHCursor);
    FormFixture::moveMouseOver(form.PushButton1);
    EXPECT_EQ(form.cursor().shape(), Qt::PointingHandCursor);
    form.Option1->setChecked(true);
    FormFixture::moveMouseOver(form.PushButton2);
    EXPECT_EQ(form.cursor().shape(), Qt::PointingHandCursor);
    FormFixture::moveMouseOver(form.Text1);
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(Form1Window, CentredWhenItFirstOpensThenStaysWhereTheUserPutsIt)
{
    form.show();
    const QPoint centred = form.frameGeometry().center();
    const QPoint screenCentre = form.screen()->availableGeometry().center();
    EXPECT_LE((centred - screenCentre).manhattanLength(), 2);
    form.move(40, 60);
    const QPoint moved = form.pos();
    form.showMinimized();
    form.showNormal();
    EXPECT_EQ(form.pos(), moved);
    form.hide();
    form.show();
    EXPECT_EQ(form.pos(), moved);
}
