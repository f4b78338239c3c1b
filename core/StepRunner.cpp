#include "core/StepRunner.h"

#include "core/AppError.h"

#include <new>

namespace halvorix {

namespace {
constexpr int kOutOfMemory = 7;
constexpr int kInvalidProcedureCall = 5;
} // namespace

StepRunner::StepRunner(MessageUi &ui, QString location, ReportForm form)
    : ui_(ui), location_(std::move(location)), form_(form)
{
}

void StepRunner::setInterceptor(std::function<bool(const FailureRecord &)> interceptor)
{
    interceptor_ = std::move(interceptor);
}

void StepRunner::report(int line, int code, const QString &description)
{
    ++failures_;
    const FailureRecord failure{description, code, line};
    if (interceptor_ && interceptor_(failure)) {
        ended_ = true;
        return;
    }
    ShowApplicationError(ui_, location_, failure, form_);
}

bool StepRunner::step(int line, const std::function<void()> &action)
{
    if (ended_)
        return false;
    try {
        action();
        return true;
    } catch (const AppError &error) {
        report(line, error.code(), error.description());
    } catch (const std::bad_alloc &) {
        report(line, kOutOfMemory, QStringLiteral("Out of memory"));
    } catch (const std::exception &error) {
        report(line, kInvalidProcedureCall, QString::fromLocal8Bit(error.what()));
    }
    return false;
}

bool StepRunner::test(int line, const std::function<bool()> &condition)
{
    if (ended_)
        return false;
    bool result = true; // a failed test enters the statements it guards
    step(line, [&] { result = condition(); });
    return ended_ ? false : result;
}

} // namespace halvorix
