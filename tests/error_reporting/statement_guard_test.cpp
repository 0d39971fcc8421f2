#include "error_reporting/runtime_error.h"
#include "error_reporting/statement_guard.h"
#include "support/scripted_reports.h"

#include <QtTest>

#include <limits>

using namespace periodix;

class StatementGuardTest : public QObject {
    Q_OBJECT
private slots:
    void failingStatement_reportsModuleProcedureNumberAndLine();
    void ignore_goesOnWithNextStatement();
    void retry_runsSameStatementAgain();
    void abort_endsProgramBeforeNextStatement();
    void ignoredCondition_runsTrueBranch();
    void ignoredLoopHead_runsBodyOnce();
    void ignoredStatementInLoop_goesOnInSamePass();
    void ignoredLoopStep_leavesLoop();
    void untilLoop_ignoredConditionLeavesLoop();
    void skipSilently_showsNothingFromThatLineOn();
    void silentExit_endsProcedureKeepingEarlierSteps();
    void calledProcedureFailure_staysInCalledProcedure();
    void foreignException_isReportedNotPropagated();
};

void StatementGuardTest::failingStatement_reportsModuleProcedureNumberAndLine()
{
    ScriptedReports script;
    guarded("frmSet", "cmdOK_Click", [](Procedure &p) { p.run(107, [] { raiseError(ErrSubscriptOutOfRange); }); });
    QCOMPARE(script.reports.size(), 1);
    const ErrorReport &r = script.reports.first();
    QCOMPARE(r.module, QString("frmSet"));
    QCOMPARE(r.procedure, QString("cmdOK_Click"));
    QCOMPARE(r.number, 9);
    QCOMPARE(r.description, QString("Subscript out of range"));
    QCOMPARE(r.line, 107);
    QCOMPARE(r.text(), QString("Error 9\r\nSubscript out of range\r\nLocation: Periodix.frmSet.cmdOK_Click\r\nLine 107"));
}

void StatementGuardTest::ignore_goesOnWithNextStatement()
{
    ScriptedReports script;
    QStringList trace;
    guarded("m", "p", [&](Procedure &p) {
        p.run(1, [&] { trace << "1"; });
        p.run(2, [&] { trace << "2a"; raiseError(ErrOverflow); trace << "2b"; });
        p.run(3, [&] { trace << "3"; });
    });
    QCOMPARE(trace, QStringList({"1", "2a", "3"}));
    QCOMPARE(script.reports.size(), 1);
    QCOMPARE(script.reports[0].line, 2);
}

void StatementGuardTest::retry_runsSameStatementAgain()
{
    ScriptedReports script;
    script.answer(Choice::Retry);
    script.answer(Choice::Retry);
    int attempts = 0;
    bool after = false;
    guarded("m", "p", [&](Procedure &p) {
        p.run(5, [&] { if (++attempts < 3) raiseError(ErrTypeMismatch); });
        p.run(6, [&] { after = true; });
    });
    QCOMPARE(attempts, 3);
    QCOMPARE(script.reports.size(), 2);
    QVERIFY(after);
}

void StatementGuardTest::abort_endsProgramBeforeNextStatement()
{
    ScriptedReports script;
    script.answer(Choice::Abort);
    bool after = false;
    try {
        guarded("m", "p", [&](Procedure &p) {
            p.run(1, [] { raiseError(ErrOverflow); });
            p.run(2, [&] { after = true; });
        });
        QFAIL("Abort did not end the program");
    } catch (const ProgramEnded &ended) {
        QVERIFY(ended.exitCode != 0);
    }
    QVERIFY(!after);
}

void StatementGuardTest::ignoredCondition_runsTrueBranch()
{
    ScriptedReports script;
    bool trueBranch = false;
    guarded("m", "p", [&](Procedure &p) {
        if (p.test(10, []() -> bool { raiseError(ErrTypeMismatch); }))
            p.run(11, [&] { trueBranch = true; });
    });
    QVERIFY(trueBranch);
    QCOMPARE(script.reports[0].line, 10);
}

void StatementGuardTest::ignoredLoopHead_runsBodyOnce()
{
    ScriptedReports script;
    int passes = 0;
    bool after = false;
    guarded("m", "p", [&](Procedure &p) {
        qint16 i = 0;
        p.countedLoop(20, 23, i, []() -> std::pair<qint16, qint16> { raiseError(ErrOverflow); },
                      [&] { p.run(21, [&] { ++passes; }); });
        p.run(24, [&] { after = true; });
    });
    QCOMPARE(passes, 1);
    QVERIFY(after);
    QCOMPARE(script.reports[0].line, 20);
}

void StatementGuardTest::ignoredStatementInLoop_goesOnInSamePass()
{
    ScriptedReports script;
    QStringList trace;
    guarded("m", "p", [&](Procedure &p) {
        qint16 i = 0;
        p.countedLoop(30, 33, i, [] { return std::pair<qint16, qint16>(1, 3); }, [&] {
            p.run(31, [&] { if (i == 2) raiseError(ErrOverflow); trace << QString("a%1").arg(i); });
            p.run(32, [&] { trace << QString("b%1").arg(i); });
        });
    });
    QCOMPARE(trace, QStringList({"a1", "b1", "b2", "a3", "b3"}));
    QCOMPARE(script.reports.size(), 1);
    QCOMPARE(script.reports[0].line, 31);
}

void StatementGuardTest::ignoredLoopStep_leavesLoop()
{
    ScriptedReports script;
    int passes = 0;
    bool after = false;
    guarded("m", "p", [&](Procedure &p) {
        qint16 i = 0;
        const qint16 top = std::numeric_limits<qint16>::max();
        p.countedLoop(40, 42, i, [&] { return std::pair<qint16, qint16>(top - 1, top); },
                      [&] { p.run(41, [&] { ++passes; }); });
        p.run(43, [&] { after = true; });
    });
    QCOMPARE(passes, 2);
    QVERIFY(after);
    QCOMPARE(script.reports.size(), 1);
    QCOMPARE(script.reports[0].line, 42);
    QCOMPARE(script.reports[0].number, 6);
}

void StatementGuardTest::untilLoop_ignoredConditionLeavesLoop()
{
    ScriptedReports script;
    int checks = 0;
    int passes = 0;
    bool after = false;
    guarded("m", "p", [&](Procedure &p) {
        p.untilLoop(78, [&]() -> bool { if (++checks == 3) raiseError(ErrBadFileNameOrNumber); return false; },
                    [&] { ++passes; });
        p.run(84, [&] { after = true; });
    });
    QCOMPARE(passes, 2);
    QCOMPARE(script.reports.size(), 1);
    QCOMPARE(script.reports[0].line, 78);
    QVERIFY(after);
}

void StatementGuardTest::skipSilently_showsNothingFromThatLineOn()
{
    ScriptedReports script;
    QStringList trace;
    guarded("m", "p", [&](Procedure &p) {
        p.run(153, [] { raiseError(ErrOverflow); });
        p.skipFailuresSilently();
        p.run(156, [] { raiseError(ErrOverflow); });
        p.run(161, [&] { trace << "161"; });
    });
    QCOMPARE(script.reports.size(), 1);
    QCOMPARE(script.reports[0].line, 153);
    QCOMPARE(trace, QStringList({"161"}));
}

void StatementGuardTest::silentExit_endsProcedureKeepingEarlierSteps()
{
    ScriptedReports script;
    QStringList trace;
    bool callerGoesOn = false;
    guarded("caller", "c", [&](Procedure &outer) {
        outer.run(1, [&] {
            guarded("frmMAIN", "SHOW_TIME", [&](Procedure &p) {
                p.exitSilentlyOnFailure();
                p.run(196, [&] { trace << "196"; });
                p.run(197, [] { raiseError(ErrSubscriptOutOfRange); });
                p.run(198, [&] { trace << "198"; });
            });
        });
        outer.run(2, [&] { callerGoesOn = true; });
    });
    QCOMPARE(trace, QStringList({"196"}));
    QVERIFY(script.reports.isEmpty());
    QVERIFY(callerGoesOn);
}

void StatementGuardTest::calledProcedureFailure_staysInCalledProcedure()
{
    ScriptedReports script;
    QStringList trace;
    guarded("outer", "caller", [&](Procedure &outer) {
        outer.run(1, [&] {
            guarded("inner", "callee", [&](Procedure &p) { p.run(7, [] { raiseError(ErrOverflow); }); });
            trace << "returned";
        });
        outer.run(2, [&] { trace << "2"; });
    });
    QCOMPARE(script.reports.size(), 1);
    QCOMPARE(script.reports[0].procedure, QString("callee"));
    QCOMPARE(trace, QStringList({"returned", "2"}));
}

void StatementGuardTest::foreignException_isReportedNotPropagated()
{
    ScriptedReports script;
    guarded("m", "p", [](Procedure &p) { p.run(3, [] { throw std::runtime_error("boom"); }); });
    QCOMPARE(script.reports.size(), 1);
    QCOMPARE(script.reports[0].line, 3);
    QCOMPARE(script.reports[0].number, 51);
    QCOMPARE(script.reports[0].description, QString("Internal error: boom"));
}

QTEST_GUILESS_MAIN(StatementGuardTest)
#include "statement_guard_test.moc"
