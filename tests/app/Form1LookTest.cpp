#include "platform/QtUi.h"
#include "support/FormFixture.h"
#include "support/ModalDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontInfo>
#include <QLabel>
#include <QMessageBox>
#include <gtest/gtest.h>

using namespace halvorix;
using namespace halvorix::test;

namespace {

// The font a widget is drawn with, as far as the eye can tell.
std::string described(const QFont &font)
{
    const QFontInfo info(font);
    return QStringLiteral("%1 %2pt weight %3").arg(info.family()).arg(info.pointSizeF()).arg(info.weight()).toStdString();
}

} // namespace

TEST(Form1Look, ControlsKeepTheDesignedFonts)
{
    FormFixture f;
    Form1 &form = f.load();
    form.ensurePolished();
    for (QWidget *control : form.findChildren<QWidget *>()) {
        if (control->parentWidget() != form.Frame1 && control->parentWidget() != form.Frame2
            && control->parentWidget() != form.Frame3 && control->parentWidget() != &form)
            continue;
        const QFont font = control->font();
        EXPECT_EQ(font.family(), "Arial") << control->objectName().toStdString();
        EXPECT_TRUE(font.bold()) << control->objectName().toStdString();
        const double size = qobject_cast<QPushButton *>(control) ? 11.25 : 9.0;
        EXPECT_DOUBLE_EQ(font.pointSizeF(), size) << control->objectName().toStdString();
    }
}

TEST(Form1Look, MessageBoxesAndFileDialogsOfTheWindowUseTheDesktopFont)
{
    FormFixture f;
    Form1 &form = f.load();
    QtUi ui;
    ui.setOwner(&form);
    const std::string desktop = described(QApplication::font());
    ASSERT_NE(desktop, described(form.font())); // else this test could not tell them apart

    bool seen = false;
    std::vector<std::pair<std::string, std::string>> shown; // object name, font
    auto collect = [&](QWidget *dialog) {
        dialog->ensurePolished();
        for (QWidget *part : dialog->findChildren<QWidget *>()) {
            if (qobject_cast<QLabel *>(part) || qobject_cast<QAbstractButton *>(part)
                || qobject_cast<QAbstractItemView *>(part))
                shown.emplace_back(part->objectName().toStdString(), described(part->font()));
        }
    };
    whenModalOpens<QMessageBox>([&](QMessageBox *box) { collect(box); }, seen);
    ui.msgBox("Done.", kStyleOk);
    ASSERT_TRUE(seen);
    whenModalOpens<QFileDialog>([&](QFileDialog *dialog) { collect(dialog); }, seen);
    ui.pickFolder(&form, "Please select folder:");
    ASSERT_TRUE(seen);

    ASSERT_GT(shown.size(), 5u);
    for (const auto &[name, font] : shown)
        EXPECT_EQ(font, desktop) << name;
}
