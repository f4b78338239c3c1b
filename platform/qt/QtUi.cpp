#include "platform/qt/QtUi.h"

#include "core/AppError.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QMessageBox>
#include <QPixmap>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <cstdio>
#include <cstdlib>

namespace halvorix {

namespace {

// Qt's own file dialogs keep a settings file of their own (QtProject.conf beside ours: the last
// folder, history, sidebar, column widths) and start where the last one ended. This program
// keeps one setting, so its dialogs remember nothing: each starts in the home folder, and Qt's
// user-scope settings are pointed at /dev/null, where no file can ever be created (not even by
// root). Our own settings file is opened by its full path and is not affected.
void forgetfulDialogs()
{
    static const bool redirected = [] {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("/dev/null"));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("/dev/null"));
        return true;
    }();
    Q_UNUSED(redirected);
}

} // namespace

QtUi::QtUi()
{
    forgetfulDialogs();
}

int QtUi::showMessageBox(const MessageBoxRequest &request)
{
    QMessageBox box(owner_);
    box.setWindowTitle(request.title);
    // Names are data: a path or label that looks like markup must show as it is, brackets and line
    // breaks included, where Qt would take a tag on the first line for rich text.
    box.setTextFormat(Qt::PlainText);
    box.setText(request.text);
    if (request.style == kStyleYesNo) {
        box.setIcon(QMessageBox::NoIcon);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setIcon(request.style == kStyleWarning ? QMessageBox::Warning : QMessageBox::NoIcon);
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int answer = box.exec();
    if (request.style == kStyleYesNo)
        return answer == QMessageBox::Yes ? kAnswerYes : kAnswerNo;
    return kAnswerOk;
}

QString QtUi::toQtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList qtFilters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        const qsizetype paren = description.indexOf(QLatin1Char('('));
        if (paren > 0)
            description = description.left(paren).trimmed();
        QString patterns = parts[i + 1];
        patterns.replace(QStringLiteral("*.*"), QStringLiteral("*"));
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        qtFilters << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return qtFilters.join(QStringLiteral(";;"));
}

QStringList QtUi::openFileNames(const FileDialogRequest &request)
{
    forgetfulDialogs();
    const QString filter = toQtFilter(request.filter);
    if (request.multiSelect)
        return QFileDialog::getOpenFileNames(owner_, request.title, QDir::homePath(), filter);
    const QString one = QFileDialog::getOpenFileName(owner_, request.title, QDir::homePath(), filter);
    return one.isEmpty() ? QStringList() : QStringList{one};
}

QString QtUi::pickFolder(const QString &prompt)
{
    forgetfulDialogs();
    return QFileDialog::getExistingDirectory(owner_, prompt, QDir::homePath(), QFileDialog::ShowDirsOnly);
}

void QtUi::yield()
{
    events_.yield();
}

QString QtUi::settingsFilePath(const QString &appName)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/')
        + appName + QStringLiteral(".conf");
}

QString QtUi::getSetting(
    const QString &appName, const QString &section, const QString &key, const QString &defaultValue)
{
    QSettings settings(settingsFilePath(appName), QSettings::IniFormat);
    settings.beginGroup(section);
    return settings.value(key, defaultValue).toString();
}

void QtUi::saveSetting(
    const QString &appName, const QString &section, const QString &key, const QString &value)
{
    QSettings settings(settingsFilePath(appName), QSettings::IniFormat);
    settings.beginGroup(section);
    settings.setValue(key, value);
    settings.endGroup();
    settings.sync(); // on disk at once: the program may end at any moment
}

QCursor QtUi::loadCursorFile(const QString &path)
{
    QFile file(path);
    openToReadOrThrow(file);
    const QByteArray data = file.readAll();
    QImage image;
    image.loadFromData(data, "CUR");
    if (image.isNull())
        image.loadFromData(data); // any other picture format Qt knows
    if (image.isNull())
        throw AppError(
            kPathFileAccessError, 0, FailedAction::Reading, path, QStringLiteral("Invalid picture"));
    // A .cur file keeps the first image's hot spot in its directory entry (bytes 10 to 13).
    int hotX = -1, hotY = -1;
    if (data.size() >= 14 && data[2] == 2 && data[3] == 0) {
        hotX = static_cast<unsigned char>(data[10]) | (static_cast<unsigned char>(data[11]) << 8);
        hotY = static_cast<unsigned char>(data[12]) | (static_cast<unsigned char>(data[13]) << 8);
    }
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}

void QtUi::runProgram(const QString &program, const QStringList &arguments)
{
    QProcess::startDetached(program, arguments);
}

void QtUi::shellOpen(const QString &folder)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void QtUi::endProgram()
{
    std::fflush(nullptr);
    // At once: no event loop to return to, no operation to finish. Settings are already on disk; a
    // copy in progress has been told to stop and given a moment to remove its temporary file (one
    // that a hung device keeps, the next run removes).
    std::_Exit(0);
}

} // namespace halvorix
