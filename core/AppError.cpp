#include "core/AppError.h"

#include <QFile>
#include <cerrno>

namespace halvorix {

namespace {

QString actionPhrase(FailedAction action)
{
    switch (action) {
    case FailedAction::Reading:
        return QStringLiteral("could not read");
    case FailedAction::Creating:
        return QStringLiteral("could not create");
    case FailedAction::Writing:
        return QStringLiteral("could not write");
    case FailedAction::Naming:
        return QStringLiteral("could not name");
    case FailedAction::SettingTimes:
        return QStringLiteral("could not set the times of");
    case FailedAction::SettingPermissions:
        return QStringLiteral("could not set the permissions of");
    case FailedAction::Flushing:
        return QStringLiteral("could not flush");
    case FailedAction::Verifying:
        return QStringLiteral("could not verify");
    case FailedAction::None:
        break;
    }
    return QStringLiteral("failed on");
}

} // namespace

AppError::AppError(int code, const QString &description)
    : std::runtime_error(description.toStdString()),
      code_(code),
      reason_(description),
      description_(description)
{
}

AppError::AppError(int code, int systemError, FailedAction action, const QString &path, const QString &reason)
    : std::runtime_error((reason + QStringLiteral(": ") + path).toStdString()),
      code_(code),
      systemError_(systemError),
      action_(action),
      path_(path),
      reason_(reason),
      description_(reason + QStringLiteral(": ") + path)
{
}

QString AppError::reasonFor(const QString &item) const
{
    if (path_.isEmpty() || path_ == item)
        return reason_;
    return actionPhrase(action_) + QLatin1Char(' ') + path_ + QStringLiteral(": ") + reason_;
}

void openToReadOrThrow(QFile &file)
{
    errno = 0; // a refusal of Qt's own (a folder) leaves it so
    if (!file.open(QIODevice::ReadOnly)) {
        const int err = errno;
        throw AppError(kPathFileAccessError, err, FailedAction::Reading, file.fileName(), file.errorString());
    }
}

} // namespace halvorix
