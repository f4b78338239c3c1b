#pragma once

#include "app/Form1.h"
#include "support/Deadline.h"
#include "support/FakeDesktopUi.h"
#include "support/FaultyFileSystem.h"
#include "support/TempTree.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>
#include <memory>

namespace halvorix::test {

// A main window over a scripted user, a real file system with scripted drives, and an
// application folder of its own.
class FormFixture {
public:
    TempTree appFolder;
    TempTree disk; // the fixed drive's root
    TempTree card; // a card's root
    FakeDesktopUi ui;
    FaultyFileSystem fs;
    std::unique_ptr<Form1> form;
    int homePageDraw = 42;

    FormFixture()
    {
        fs.drives = std::vector<DriveInfo>{
            {card.path() + "/", kDriveRemovable, true, "CARD", {}},
            {disk.path() + "/", kDriveFixed, true, "", {}},
        };
    }

    Form1 &load()
    {
        form = std::make_unique<Form1>(fs, ui, appFolder.path(), [this] { return homePageDraw; });
        form->Form_Load();
        return *form;
    }

    // Picks the first card and the fixed drive: Text1 becomes the drive's root plus "CARD/".
    void pickCardToComputer()
    {
        form->Combo2->setCurrentIndex(0);
        form->Combo1->setCurrentIndex(0);
    }

    void pickCardTarget()
    {
        form->Option2->setChecked(true);
        form->Combo3->setCurrentIndex(0);
    }

    // The window loaded with the first card at `cardRoot`, copying to it, the folder `folder` the
    // transfer list's one row.
    Form1 &loadCopyingToCard(const QString &cardRoot, const QString &folder)
    {
        fs.drives->at(0).root = cardRoot + "/";
        load();
        pickCardTarget();
        form->transferList().append({folder, "Is Folder"});
        return *form;
    }

    static void moveMouseOver(QWidget *widget)
    {
        QMouseEvent move(
            QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &move);
    }

    // Asks the window to close, from a copy's thread, and waits until the copy has seen it.
    void closeFrom(const CopySession &session)
    {
        // By the slot's name: a functor made on this thread and run on the window's would be
        // handed over inside Qt, out of the thread checker's sight.
        QMetaObject::invokeMethod(form.get(), "close", Qt::QueuedConnection);
        waitUntil(
            [&] { return session.isAbandoned(); }, std::chrono::seconds(10), "the close to reach the copy");
    }

    // Start Copying in a run that a close request ends, within `deadline`. The real program has
    // ended inside the close request; here the abandoned copy unwinds the handler instead.
    void expectStartEndedByTheClose(std::chrono::seconds deadline)
    {
        const Watchdog watchdog(deadline, "the run to end after the close");
        EXPECT_THROW(form->PushButton1_Click(), CopyAbandoned);
    }

    QStringList rowTexts() const { return rowColumn(&TransferItem::Text); }
    QStringList rowMarkers() const { return rowColumn(&TransferItem::Marker); }
    QStringList rowColumn(QString TransferItem::*column) const
    {
        QStringList texts;
        for (const auto &item : form->transferList().items())
            texts << item.*column;
        return texts;
    }
};

// A test of the main window as it starts, over the fixture's defaults.
class LoadedForm : public ::testing::Test {
protected:
    FormFixture f;
    Form1 &form = f.load();
};

} // namespace halvorix::test

namespace halvorix {

// What the tests of the pointer and the skin reach inside the window.
struct Form1TestPeer {
    static constexpr int kArrow = Form1::kPointerDefault;
    static constexpr int kBusy = Form1::kPointerBusy;
    static constexpr int kHand = Form1::kPointerHand;
    static void setMousePointer(Form1 &form, int shape) { form.setMousePointer(shape); }
    static const SkinFramework &skin(const Form1 &form) { return form.skin_; }
};

} // namespace halvorix
