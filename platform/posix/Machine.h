#pragma once

#include "platform/posix/LinuxDrives.h"
#include "platform/posix/engine/CopyEngine.h"
#include "platform/posix/PosixFiles.h"

namespace halvorix {

// The real machine: its files, the copy engine and its drives. Drive discovery reads the mount
// table, sysfs and udev's label links under `sysroot` ("/" normally; HALVORIX_SYSROOT in tests
// and demonstrations).
class Machine : public PosixFiles, public PosixCopyEngine, public LinuxDriveSource {
public:
    explicit Machine(QString sysroot = sysrootFromEnvironment()) : LinuxDriveSource(std::move(sysroot)) { }
};

} // namespace halvorix
