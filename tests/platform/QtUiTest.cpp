#include "platform/QtUi.h"
#include "support/ModalDialogs.h"
#include "support/TempTree.h"

#include <QDir>
#include <QFileDialog>
#include <gtest/gtest.h>

using namespace halvorix;
using namespace halvorix::test;

namespace {

// Points the home folder at a test's own folder while it lives.
class FakeHome {
public:
    explicit FakeHome(const QString &path) : saved_(qgetenv("HOME"))
    {
        qputenv("HOME", QFile::encodeName(path));
    }
    ~FakeHome() { qputenv("HOME", saved_); }

private:
    QByteArray saved_;
};

std::string canonical(const QString &path)
{
    return QDir(path).canonicalPath().toStdString();
}

} // namespace

TEST(QtUiDialogs, FolderPickerStartsInTheHomeFolderEveryTimeNotWhereTheLastOneEnded)
{
    TempTree home;
    const QString elsewhere = home.mkdir("photos/2026");
    FakeHome fakeHome(home.path());
    QtUi ui;
    bool seen = false;

    QString startedIn;
    whenModalOpens<QFileDialog>(
        [&](QFileDialog *dialog) {
            startedIn = dialog->directory().absolutePath();
            dialog->setDirectory(elsewhere); // the user walks elsewhere and picks that folder
            static_cast<QDialog *>(dialog)->accept(); // as the Choose button does
        },
        seen);
    EXPECT_EQ(canonical(ui.pickFolder(nullptr, "Please select folder:")), canonical(elsewhere));
    ASSERT_TRUE(seen);
    EXPECT_EQ(canonical(startedIn), canonical(home.path()));

    whenModalOpens<QFileDialog>(
        [&](QFileDialog *dialog) { startedIn = dialog->directory().absolutePath(); }, seen);
    EXPECT_EQ(ui.pickFolder(nullptr, "Please select folder:"), QString()); // cancelled
    ASSERT_TRUE(seen);
    EXPECT_EQ(canonical(startedIn), canonical(home.path()));

    whenModalOpens<QFileDialog>(
        [&](QFileDialog *dialog) { startedIn = dialog->directory().absolutePath(); }, seen);
    FileDialogRequest request;
    request.title = "Add File(s)";
    request.filter = "All Files (*.*)|*.*|";
    request.multiSelect = true;
    EXPECT_TRUE(ui.openFileNames(nullptr, request).isEmpty());
    ASSERT_TRUE(seen);
    EXPECT_EQ(canonical(startedIn), canonical(home.path()));
}
