#pragma once

#include "core/UiService.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace halvorix {

// The window's pending events handled during long work on its thread. A walk yields for every
// folder; handling events a few hundred times a second keeps the window painting and a close
// request prompt without a system call per folder. Needs Qt Core alone.
class PacedEvents : public EventPump {
public:
    void yield() override
    {
        constexpr qint64 kMinimumGapMs = 4;
        if (sinceEvents_.isValid() && sinceEvents_.elapsed() < kMinimumGapMs)
            return;
        QCoreApplication::processEvents();
        sinceEvents_.start();
    }

private:
    QElapsedTimer sinceEvents_;
};

} // namespace halvorix
