#pragma once

#include <QString>
#include <stdexcept>

namespace halvorix {

// Failure codes. The classic numbers are kept wherever the program tests them.
enum ErrorCode : int {
    kTypeMismatch = 13, // a stored setting that is no truth value
    kDeviceIoError = 57, // the medium failed to read or write
    kFileNotFound = 53,
    kFileAlreadyExists = 58,
    kDiskFull = 61,
    kPermissionDenied = 70,
    kPathFileAccessError = 75, // any other path or file access failure
    kPathNotFound = 76,
    kFileNameBufferTooSmall = 20476, // the file-open dialog's combined result did not fit
};

// The one failure type of the program. Every platform operation reports failure by throwing it;
// the guarded handlers turn it into the "Application Error" report and resume with their next step.
// The description names the path and the system's reason, e.g. "Permission denied: /media/CARD/DCIM".
class AppError : public std::runtime_error {
public:
    AppError(int code, const QString &description)
        : std::runtime_error(description.toStdString()), code_(code), description_(description)
    {
    }

    int code() const { return code_; }
    const QString &description() const { return description_; }

private:
    int code_;
    QString description_;
};

} // namespace halvorix
