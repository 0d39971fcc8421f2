#pragma once

#include "error_reporting/error_report.h"
#include "error_reporting/process_end.h"

#include <QList>
#include <QQueue>

// Answers every error report from a script and keeps what was reported.
// An Abort ends "the program" by throwing ProgramEnded.
struct ProgramEnded {
    int exitCode;
};

class ScriptedReports {
public:
    ScriptedReports()
    {
        periodix::setReportPresenter([this](const periodix::ErrorReport &report) {
            reports.append(report);
            if (answers.isEmpty())
                return periodix::Choice::Ignore;
            return answers.dequeue();
        });
        periodix::setProgramEnder([](int code) { throw ProgramEnded{code}; });
    }
    ~ScriptedReports()
    {
        periodix::setReportPresenter({});
        periodix::setProgramEnder({});
    }
    ScriptedReports(const ScriptedReports &) = delete;
    ScriptedReports &operator=(const ScriptedReports &) = delete;

    void answer(periodix::Choice choice) { answers.enqueue(choice); }

    QList<periodix::ErrorReport> reports;
    QQueue<periodix::Choice> answers; // Ignore when empty
};
