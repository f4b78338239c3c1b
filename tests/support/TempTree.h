#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace halvorix::test {

// A temporary folder that tests fill with real files; removed afterwards.
class TempTree {
public:
    TempTree() { EXPECT_TRUE(dir_.isValid()); }

    QString path(const QString &relative = QString()) const
    {
        return relative.isEmpty() ? dir_.path() : dir_.path() + '/' + relative;
    }

    QString mkdir(const QString &relative) const
    {
        EXPECT_TRUE(QDir().mkpath(path(relative)));
        return path(relative);
    }

    QString write(const QString &relative, const QByteArray &content = "data") const
    {
        const QString full = path(relative);
        QDir().mkpath(QFileInfo(full).path());
        QFile file(full);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << full.toStdString();
        file.write(content);
        return full;
    }

    // Sets a modification time, so a copy that loses it is caught.
    static void setModified(const QString &path, const QDateTime &when)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(when, QFileDevice::FileModificationTime));
    }

    static QByteArray read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

private:
    QTemporaryDir dir_;
};

} // namespace halvorix::test
