#include "app/Form1.h"

#include "app/ApplicationIcon.h"
#include "platform/posix/Machine.h"
#include "platform/qt/QtUi.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Halvorix"));
    QApplication::setDesktopFileName(QStringLiteral("halvorix"));
    QApplication::setWindowIcon(halvorix::applicationIcon()); // message boxes and dialogs too

    halvorix::Machine fileSystem;
    halvorix::QtUi ui;
    // The application folder: where the program file lives (links resolved), beside its Samples.
    halvorix::Form1 window(fileSystem, ui, QCoreApplication::applicationDirPath());
    ui.setOwner(&window);
    window.Form_Load();
    window.show();
    return app.exec();
}
