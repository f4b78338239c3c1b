#pragma once

#include "core/UiService.h"

#include <QCursor>

namespace halvorix {

// What the window asks of the desktop beyond what the program's logic asks: pictures for the
// pointer.
class DesktopUi : public UiService {
public:
    // A cursor from a .cur file, hot spot from its header. Throws AppError when it cannot be read.
    virtual QCursor loadCursorFile(const QString &path) = 0;
};

} // namespace halvorix
