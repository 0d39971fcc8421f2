#include "error_reporting/statement_guard.h"

#include "error_reporting/error_report.h"
#include "error_reporting/process_end.h"
#include "error_reporting/recovery_point.h"
#include "error_reporting/runtime_error.h"

#include <QThread>

#include <exception>
#include <new>

namespace periodix {

namespace {

RecoveryPoint *volatile innermost = nullptr;
FaultTranslator translator = nullptr;

enum class Outcome { Completed, Faulted };

// Runs the statement behind a recovery point. A processor fault jumps back
// here from the signal handler; the floating-point environment of the moment
// before the statement is restored, and the statement counts as failed.
Outcome runRecoverable(StatementRef statement)
{
    RecoveryPoint point;
    point.previous = innermost;
    point.thread = ::pthread_self();
    point.qtThread = QThread::currentThread();
    point.loopLevel = point.qtThread ? point.qtThread->loopLevel() : 0;
    std::fegetenv(&point.floatingPoint);
    innermost = &point;
    if (sigsetjmp(point.env, 1) != 0) { // back from a fault, signal mask restored
        std::fesetenv(&point.floatingPoint);
        innermost = point.previous;
        return Outcome::Faulted;
    }
    try {
        statement();
    } catch (...) {
        innermost = point.previous;
        throw;
    }
    innermost = point.previous;
    return Outcome::Completed;
}

} // namespace

RecoveryPoint *currentRecoveryPoint()
{
    return innermost;
}

bool faultMayReturnTo(const RecoveryPoint &point)
{
    if (!::pthread_equal(::pthread_self(), point.thread))
        return false;
    // Same thread, so its QThread is the point's own and reading it is safe.
    const int loopLevel = point.qtThread ? point.qtThread->loopLevel() : 0;
    return loopLevel == point.loopLevel;
}

void setFaultTranslator(FaultTranslator t)
{
    translator = t;
}

bool Procedure::execute(int line, StatementRef statement)
{
    for (;;) {
        RuntimeError failure;
        try {
            if (!translator) {
                statement();
                return true;
            }
            if (runRecoverable(statement) == Outcome::Completed)
                return true;
            failure = translator();
        } catch (const RuntimeError &e) {
            failure = e;
        } catch (const std::bad_alloc &) {
            failure = RuntimeError{ErrOutOfMemory, describeError(ErrOutOfMemory)};
        } catch (const std::exception &e) {
            // Anything else a library throws is the runtime's internal error.
            failure = RuntimeError{ErrInternal, describeError(ErrInternal) + QStringLiteral(": ") +
                                                    QString::fromLocal8Bit(e.what())};
        }
        switch (mode_) {
        case Mode::SkipSilently:
            return false;
        case Mode::ExitSilently:
            throw ProcedureExit{};
        case Mode::Report:
            break;
        }
        switch (REPORT_ERROR(module_, name_, failure.number, failure.description, line)) {
        case Choice::Abort:
            endProgramNow(1);
        case Choice::Retry:
            continue;
        case Choice::Ignore:
            return false;
        }
    }
}

void Procedure::raiseOverflow()
{
    raiseError(ErrOverflow);
}

} // namespace periodix
