#include "platform/qt/QtUi.h"
#include "core/AppError.h"
#include "support/FakeSystem.h"
#include "support/ModalDialogs.h"
#include "support/TempTree.h"

#include <QBuffer>
#include <QDir>
#include <QFileDialog>
#include <QImage>
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
    EXPECT_EQ(canonical(ui.pickFolder(nullptr, "Please select folder:")), canonical(elsewhere));
    expectStartedAtHome();

    whenModalOpens<QFileDialog>(noteStart, seen);
    EXPECT_EQ(ui.pickFolder(nullptr, "Please select folder:"), QString()); // cancelled
    expectStartedAtHome();

    whenModalOpens<QFileDialog>(noteStart, seen);
    FileDialogRequest request;
    request.title = "Add File(s)";
    request.filter = "All Files (*.*)|*.*|";
    request.multiSelect = true;
    EXPECT_TRUE(ui.openFileNames(nullptr, request).isEmpty());
    expectStartedAtHome();
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
