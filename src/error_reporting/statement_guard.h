#pragma once

#include <QString>

#include <limits>
#include <utility>

namespace periodix {

// A borrowed reference to a statement (any callable taking no arguments).
class StatementRef {
public:
    template <class F>
    StatementRef(F &f) // NOLINT: implicit on purpose, statements are lambdas
        : object_(&f), call_([](void *o) { (*static_cast<F *>(o))(); })
    {
    }
    void operator()() const { call_(object_); }

private:
    void *object_;
    void (*call_)(void *);
};

// One call of one procedure. Every statement runs through run() with its line
// number; a failing statement shows the error report and the operator chooses:
// Abort ends the program, Retry runs the statement again, Ignore goes on with
// the next statement. Failures never leave the procedure.
class Procedure {
public:
    Procedure(QString module, QString name) : module_(std::move(module)), name_(std::move(name)) {}
    Procedure(const Procedure &) = delete;
    Procedure &operator=(const Procedure &) = delete;

    // Runs one statement. True when it completed; false when it failed and was
    // skipped (Ignore, or silently in the skipping mode).
    template <class F>
    bool run(int line, F &&statement)
    {
        return execute(line, StatementRef(statement));
    }

    // The condition of a conditional. A failing condition that is skipped
    // counts as true, so the true branch runs.
    template <class F>
    bool test(int line, F &&condition)
    {
        bool value = true;
        if (!run(line, [&] { value = condition(); }))
            value = true;
        return value;
    }

    // For var = from To to ... Next. bounds() returns {from, to}.
    // A skipped head runs the body once, a skipped step leaves the loop.
    template <class Int, class Bounds, class Body>
    void countedLoop(int headLine, int stepLine, Int &var, Bounds &&bounds, Body &&body)
    {
        Int limit{};
        if (!run(headLine, [&] {
                const auto range = bounds();
                var = range.first;
                limit = range.second;
            })) {
            body();
            return;
        }
        while (var <= limit) {
            body();
            const bool stepped = run(stepLine, [&] {
                if (var == std::numeric_limits<Int>::max())
                    raiseOverflow();
                ++var;
            });
            if (!stepped)
                return;
        }
    }

    // Do Until condition ... Loop. A skipped condition leaves the loop: a
    // condition that cannot be read (a file that never opened) would fail on
    // every pass, and running the body each time would never end.
    template <class Cond, class Body>
    void untilLoop(int headLine, Cond &&condition, Body &&body)
    {
        for (;;) {
            bool done = true;
            if (!run(headLine, [&] { done = condition(); }))
                return;
            if (done)
                return;
            body();
        }
    }

    // From here on a failing statement is skipped without a message.
    void skipFailuresSilently() { mode_ = Mode::SkipSilently; }
    // From here on a failing statement ends the procedure without a message.
    void exitSilentlyOnFailure() { mode_ = Mode::ExitSilently; }
    // Back to the report.
    void reportFailures() { mode_ = Mode::Report; }

    const QString &module() const { return module_; }
    const QString &name() const { return name_; }

private:
    enum class Mode { Report, SkipSilently, ExitSilently };

    bool execute(int line, StatementRef statement);
    [[noreturn]] static void raiseOverflow();

    QString module_;
    QString name_;
    Mode mode_ = Mode::Report;
};

// Thrown by a statement in the silent-exit mode; guarded() ends the call there.
struct ProcedureExit {};

// Runs a procedure body with its own guard. Nothing the body raises crosses
// this boundary, so no failure ever reaches the caller or Qt's event loop.
template <class Body>
void guarded(const QString &module, const QString &name, Body &&body)
{
    Procedure procedure(module, name);
    try {
        body(procedure);
    } catch (const ProcedureExit &) {
    }
}

} // namespace periodix
