#pragma once

#include "platform/qt/DesktopUi.h"
#include "support/FakeUi.h"

#include <QCursor>
#include <functional>

namespace halvorix::test {

// The scripted user as the window sees it: the desktop's pointer pictures too.
class FakeDesktopUi : public ScriptedUi<DesktopUi> {
public:
    std::function<QCursor(const QString &)> cursorLoader; // default: Qt's pointing hand

    QCursor loadCursorFile(const QString &path) override
    {
        onWindowThread("loadCursorFile");
        if (cursorLoader)
            return cursorLoader(path);
        return QCursor(Qt::PointingHandCursor);
    }
};

} // namespace halvorix::test
