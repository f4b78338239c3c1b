#pragma once

#include <QString>
#include <stdexcept>

class QFile;

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

// What the program was doing with the path when it failed.
enum class FailedAction {
    None, // a failure of the program's own, not of one operation on a path
    Reading, // opening or reading a file or folder to copy from, or asking what it is
    Creating, // creating a file or folder to copy into
    Writing, // writing a file's data
    Naming, // giving a complete file its final name
    SettingTimes, // keeping a file's times
    SettingPermissions, // keeping a file's permissions
    Flushing, // putting what was written on the medium
    Verifying, // reading a copy back from the medium and comparing it with what was read
};

// The one failure type of the program. Every platform operation reports failure by throwing it;
// the guarded handlers turn it into the "Application Error" report and resume with their next step.
//
// A failure of a system call carries the system's error number (read first, before any other call
// could change it), the path that failed, the action and the reason in words (the system's own,
// which the adapter that made the call supplies, or the program's); its texts are made here and
// nowhere else:
//   description()  "Permission denied: /media/CARD/DCIM", what the report shows, and what();
//   reasonFor(item) what the closing warning says of an item that was not copied.
class AppError : public std::runtime_error {
public:
    // A failure of the program's own, described as it stands.
    AppError(int code, const QString &description);
    // A failure of `action` on `path`, for `reason` ("Permission denied"). `systemError` is the
    // system's error number, or 0 when the program itself found the fault.
    AppError(int code, int systemError, FailedAction action, const QString &path, const QString &reason);

    int code() const { return code_; }
    int systemError() const { return systemError_; } // 0 when no system call failed
    FailedAction action() const { return action_; }
    const QString &path() const { return path_; }

    // "<reason>: <path>", or the description a failure of the program's own was given.
    const QString &description() const { return description_; }
    // The reason alone: "Disk full", "Permission denied".
    const QString &reason() const { return reason_; }
    // Why `item` could not be copied: the reason when the item itself failed, else what failed
    // on which path ("could not write /home/u/CARD/a.jpg: Disk full").
    QString reasonFor(const QString &item) const;

private:
    int code_;
    int systemError_ = 0;
    FailedAction action_ = FailedAction::None;
    QString path_;
    QString reason_;
    QString description_;
};

// Opens `file` to read, or throws the failure of reading it: the system's error number where the
// system refused (none where Qt did, as for a folder) and Qt's words for it.
void openToReadOrThrow(QFile &file);

} // namespace halvorix
