#include "platform/qt/QtUi.h"
#include "core/AppError.h"
#include "support/FakeSystem.h"
#include "support/ModalDialogs.h"
#include "support/TempTree.h"

#include <QAccessible>
#include <QBuffer>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <gtest/gtest.h>

using namespace halvorix;
using namespace halvorix::test;

namespace {

std::string canonical(const QString &path)
{
    return QDir(path).canonicalPath().toStdString();
}

} // namespace

TEST(QtUiDialogs, FolderPickerStartsInTheHomeFolderEveryTimeNotWhereTheLastOneEnded)
{
    TempTree home;
    const QString elsewhere = home.mkdir("photos/2026");
    const ScopedHome fakeHome(home.path());
    QtUi ui;
    bool seen = false;
    QString startedIn;
    const auto noteStart = [&](QFileDialog *dialog) { startedIn = dialog->directory().absolutePath(); };
    const auto expectStartedAtHome = [&] {
        ASSERT_TRUE(seen);
        EXPECT_EQ(canonical(startedIn), canonical(home.path()));
    };

    whenModalOpens<QFileDialog>(
        [&](QFileDialog *dialog) {
            noteStart(dialog);
            dialog->setDirectory(elsewhere); // the user walks elsewhere and picks that folder
            static_cast<QDialog *>(dialog)->accept(); // as the Choose button does
        },
        seen);
    EXPECT_EQ(canonical(ui.pickFolder("Please select folder:")), canonical(elsewhere));
    expectStartedAtHome();

    whenModalOpens<QFileDialog>(noteStart, seen);
    EXPECT_EQ(ui.pickFolder("Please select folder:"), QString()); // cancelled
    expectStartedAtHome();

    whenModalOpens<QFileDialog>(noteStart, seen);
    FileDialogRequest request;
    request.title = "Add File(s)";
    request.filter = "All Files (*.*)|*.*|";
    request.multiSelect = true;
    EXPECT_TRUE(ui.openFileNames(request).isEmpty());
    expectStartedAtHome();
}

// Names are data: a file or card whose name looks like markup shows in each box as it is,
// brackets and line breaks included, in the boxes that start with a name and in the others.
TEST(QtUiBoxes, NamesThatLookLikeMarkupShowAsTheyAre)
{
    FakeSystem sys;
    sys.disk("sda", "8:0", "0");
    sys.mount("8:0", "disk", "ext4", "/dev/sda");
    sys.disk("sdb", "8:16", "1");
    sys.label("<b>X<\\x2fb>", "sdb");
    sys.mount("8:16", "card", "vfat", "/dev/sdb");
    SysrootForm w(sys.root.path());
    QtUi screen;
    QStringList shown; // each box's text, as a screen reader reads it out
    w.ui.onBox = [&](const MessageBoxRequest &request) {
        bool seen = false;
        whenModalOpens<QMessageBox>(
            [&](QMessageBox *box) {
                auto *text = box->findChild<QLabel *>("qt_msgbox_label");
                shown << QAccessible::queryAccessibleInterface(text)->text(QAccessible::Name);
            },
            seen);
        screen.msgBox(request.rawText, request.style, request.title);
        EXPECT_TRUE(seen);
    };
    const QString name = "/<i>raw</i>";
    w.form.Option2->setChecked(true); // the bad-name box: a chosen file that cannot be read
    w.ui.fileDialogResults = {{sys.root.path() + name}};
    w.form.PushButton5_Click();
    w.form.Option1->setChecked(true); // the error report: a results folder that cannot be made
    w.pickCardToComputer(0, 0);
    w.form.Text1->setText(sys.mountPoint("disk") + name + "/");
    w.form.PushButton1_Click();
    sys.unmount("card"); // the card-gone warning
    w.form.PushButton1_Click();

    const QStringList asked = w.ui.boxTexts();
    ASSERT_EQ(asked.size(), 4) << asked.join("\n---\n").toStdString();
    EXPECT_TRUE(asked[0].startsWith(sys.root.path() + name + "\n\nwas not added"));
    EXPECT_TRUE(asked[1].contains(name + "/\nin ")); // the error report
    EXPECT_TRUE(asked[3].startsWith("The memory card <b>X</b> ("));
    EXPECT_EQ(shown, asked);
}

TEST(QtUiCursor, HotSpotComesFromTheCursorHeader)
{
    TempTree tree;
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::black);
    QByteArray ico;
    QBuffer buffer(&ico);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "ICO"));
    ico[2] = 2; // a cursor file
    ico[10] = 5; // hot spot x
    ico[12] = 9; // hot spot y
    QtUi ui;
    const QCursor cursor = ui.loadCursorFile(tree.write("HAND-M.CUR", ico));
    EXPECT_EQ(cursor.hotSpot(), QPoint(5, 9));
    EXPECT_THROW(ui.loadCursorFile(tree.write("bad.cur", "not a picture")), AppError);
    EXPECT_THROW(ui.loadCursorFile(tree.path("missing.cur")), AppError);
}

TEST(QtUiSettings, IniFileNamedAfterTheApplicationWrittenAtOnce)
{
    TempTree tree;
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", tree.path().toUtf8());
    QtUi ui;
    EXPECT_EQ(ui.getSetting("Brackwen", "Halvorix", "Option1", "True"), "True");
    ui.saveSetting("Brackwen", "Halvorix", "Option1", "False");
    const QByteArray text = TempTree::read(tree.path("Brackwen.conf"));
    EXPECT_TRUE(text.contains("[Halvorix]\nOption1=False")) << text.toStdString();
    EXPECT_EQ(ui.getSetting("Brackwen", "Halvorix", "Option1", "True"), "False");
    qputenv("XDG_CONFIG_HOME", old);
    EXPECT_EQ(QtUi::toQtFilter("All Files (*.*)|*.*|"), "All Files (*)");
}
