#pragma once

#include <functional>

namespace halvorix {

// Numbered statements of a guarded handler, as shared code sees them. The window's StepRunner
// reports a failure with its line and goes on; DirectSteps lets failures pass to the caller.
class Steps {
public:
    virtual ~Steps() = default;
    // Runs one numbered statement. Returns false when it failed (and was reported).
    virtual bool step(int line, const std::function<void()> &action) = 0;
    // A numbered condition test; one that fails counts as true (the guarded statements run).
    virtual bool test(int line, const std::function<bool()> &condition) = 0;
};

// Runs every statement as it stands: a failure passes to the caller (bench programs, tools).
class DirectSteps : public Steps {
public:
    bool step(int, const std::function<void()> &action) override
    {
        action();
        return true;
    }
    bool test(int, const std::function<bool()> &condition) override { return condition(); }
};

} // namespace halvorix
