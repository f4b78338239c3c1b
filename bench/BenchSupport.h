#pragma once

#include "core/UiService.h"

#include <QCoreApplication>
#include <QFile>
#include <chrono>

namespace halvorix::bench {

// The program's user-interface service reduced to what a walk or a copy asks: yields handle
// pending events as in the program; nothing else is ever asked.
class BenchUi : public UiService {
public:
    QStringList openFileNames(QWidget *, const FileDialogRequest &) override { return {}; }
    QString pickFolder(QWidget *, const QString &) override { return {}; }
    void yield() override { QCoreApplication::processEvents(); }
    QString getSetting(const QString &, const QString &, const QString &, const QString &d) override
    {
        return d;
    }
    void saveSetting(const QString &, const QString &, const QString &, const QString &) override { }
    void runProgram(const QString &, const QStringList &) override { }
    void shellOpen(const QString &) override { }
    void endProgram() override { }

protected:
    int showMessageBox(const MessageBoxRequest &) override { return kAnswerOk; }
};

inline double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Resident memory of this process in bytes (from /proc/self/statm).
inline qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * 4096 : 0;
}

} // namespace halvorix::bench
