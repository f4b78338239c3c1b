#pragma once

#include "core/CopyService.h"
#include "core/DriveSource.h"
#include "core/FileSystemService.h"

#include <concepts>

namespace halvorix {

// The machine as the window sees it: its files, its copy engine and its drives. Often one object
// serves all three (the program's own, a test's scripted machine); it converts here directly.
struct SystemServices {
    FileSystemService &files;
    CopyService &engine;
    DriveSource &drives;

    template <class Machine>
    requires std::derived_from<Machine, FileSystemService> && std::derived_from<Machine,
        CopyService> && std::derived_from<Machine, DriveSource>
    SystemServices(Machine &machine) // NOLINT(google-explicit-constructor): one machine is all three
        : files(machine), engine(machine), drives(machine)
    {
    }
};

} // namespace halvorix
