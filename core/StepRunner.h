#pragma once

#include "core/ErrorReport.h"
#include "core/Steps.h"

#include <functional>

namespace halvorix {

// Resume-next for one numbered handler. Each step runs under its line number; a failure shows the
// "Application Error" report with that number and the handler goes on with its next step. A step
// takes every std::exception for a failure; anything else it throws passes through.
//
//   StepRunner run(ui, "in ...PushButton2_Click ", ReportForm::Full);
//   run.step(100, [&] { path = PickFolder(...); });
//   if (run.test(102, [&] { return path.isEmpty(); })) return;
class StepRunner : public Steps {
public:
    StepRunner(MessageUi &ui, QString location, ReportForm form);

    // Consulted before the report; returning true means it handled the failure and the handler
    // ends: every later step and test is skipped.
    void setInterceptor(std::function<bool(const FailureRecord &)> interceptor);

    // Runs one numbered statement. Returns false when it failed (already reported).
    bool step(int line, const std::function<void()> &action) override;

    // A numbered condition test. A test that fails counts as true: resume-next continues with
    // the first statement under the condition, so the statements it guards run.
    bool test(int line, const std::function<bool()> &condition) override;

    bool ended() const { return ended_; }
    int failureCount() const { return failures_; }

private:
    void report(int line, int code, const QString &description);

    MessageUi &ui_;
    QString location_;
    ReportForm form_;
    std::function<bool(const FailureRecord &)> interceptor_;
    bool ended_ = false;
    int failures_ = 0;
};

} // namespace halvorix
