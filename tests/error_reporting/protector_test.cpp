#include "error_reporting/error_report.h"
#include "error_reporting/protector.h"
#include "error_reporting/runtime_error.h"
#include "error_reporting/statement_guard.h"
#include "support/child_process.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <climits>
#include <functional>

using namespace periodix;
using namespace periodix::vbwProtector;

namespace {

// Faults the optimiser cannot see through.
int *volatile nowhere = nullptr;
volatile int zero = 0;
volatile int depthLimit = INT_MAX;
volatile int sink = 0;
int faultsLeft = 0;

[[gnu::noinline]] void divideByZero()
{
    sink = 100 / zero;
}

[[gnu::noinline]] void writeNull()
{
    *nowhere = 1;
}

[[gnu::noinline]] int recurse(int depth)
{
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    if (depth >= depthLimit)
        return frame[0];
    return recurse(depth + 1) + frame[0];
}

QString report(const char *name, const char *procedure, int line)
{
    return QString("Error 65535\r\n%1\r\nLocation: Periodix.frmMAIN.%2\r\nLine %3\n--\n").arg(name, procedure).arg(line);
}

} // namespace

class ProtectorTest : public QObject {
    Q_OBJECT
private slots:
    void faultInStatement_becomesReport_data();
    void faultInStatement_becomesReport();
    void ignore_goesOnAndSecondFaultIsCaughtToo();
    void retry_runsFaultingStatementAgain();
    void faultInCalledProcedure_reportedThere();
    void faultOutsideProcedures_endsWithSignalAndName();
    void faultInHelperThread_neverJumpsIntoStatement();
    void faultInNestedEventLoop_data();
    void faultInNestedEventLoop();
    void exceptionName_table_data();
    void exceptionName_table();
    void filter_namesLastRecordOfChain();
    void signalCodes_data();
    void signalCodes();
    void secondInitialisation_installsNothing();
    void failingInstallation_reportsInProtectorModule();
};

void ProtectorTest::faultInStatement_becomesReport_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("name");
    QTest::newRow("integer division by zero") << 0 << "Exception: Integer Divide By Zero";
    QTest::newRow("null write") << 1 << "Exception: Access Violation";
    QTest::newRow("stack overflow") << 2 << "Exception: Stack Overflow";
    QTest::newRow("illegal instruction") << 3 << "Exception: Illegal Instruction";
}

void ProtectorTest::faultInStatement_becomesReport()
{
    QFETCH(int, fault);
    QFETCH(QString, name);
    const ChildResult child = inChild([fault](int out) {
        vbwInitializeProtector();
        guarded("frmMAIN", "Timer1_Timer", [&](Procedure &p) {
            p.run(153, [&] {
                switch (fault) {
                case 0: divideByZero(); break;
                case 1: writeNull(); break;
                case 2: sink = recurse(0); break;
                default: __builtin_trap();
                }
            });
            p.run(154, [&] { say(out, "next statement\n"); });
        });
    });
    QVERIFY2(child.exited && child.exitCode == 0, qPrintable(child.output));
    QCOMPARE(child.output, report(qPrintable(name), "Timer1_Timer", 153) + "next statement\n");
}

void ProtectorTest::ignore_goesOnAndSecondFaultIsCaughtToo()
{
    const ChildResult child = inChild([](int out) {
        vbwInitializeProtector();
        for (int round = 0; round < 3; ++round) {
            guarded("frmMAIN", "cmd1UP_Click", [&](Procedure &p) {
                p.run(24, [] { writeNull(); });
                p.run(25, [] { divideByZero(); });
                p.run(26, [&] {
                    // Ordinary work after the faults: exceptions and numbers behave.
                    try {
                        raiseError(ErrOverflow);
                    } catch (const RuntimeError &e) {
                        say(out, e.number == 6 ? "works\n" : "broken\n");
                    }
                });
            });
        }
    });
    QVERIFY2(child.exited && child.exitCode == 0, qPrintable(child.output));
    const QString one = report("Exception: Access Violation", "cmd1UP_Click", 24) +
                        report("Exception: Integer Divide By Zero", "cmd1UP_Click", 25) + "works\n";
    QCOMPARE(child.output, one + one + one);
}

void ProtectorTest::retry_runsFaultingStatementAgain()
{
    const ChildResult child = inChild(
        [](int out) {
            vbwInitializeProtector();
            faultsLeft = 2;
            guarded("frmMAIN", "cmdSTART_Click", [&](Procedure &p) {
                p.run(106, [&] {
                    say(out, "attempt\n");
                    if (faultsLeft-- > 0)
                        writeNull();
                });
                p.run(107, [&] { say(out, "next\n"); });
            });
        },
        {Choice::Retry, Choice::Retry});
    QVERIFY2(child.exited && child.exitCode == 0, qPrintable(child.output));
    const QString fault = report("Exception: Access Violation", "cmdSTART_Click", 106);
    QCOMPARE(child.output, "attempt\n" + fault + "attempt\n" + fault + "attempt\nnext\n");
}

void ProtectorTest::faultInCalledProcedure_reportedThere()
{
    const ChildResult child = inChild([](int out) {
        vbwInitializeProtector();
        guarded("frmMAIN", "cmd1DW_Click", [&](Procedure &outer) {
            outer.run(18, [&] {
                guarded("frmMAIN", "CHECK_TIME", [&](Procedure &p) { p.run(185, [] { divideByZero(); }); });
                say(out, "returned\n");
            });
        });
    });
    QCOMPARE(child.output, report("Exception: Integer Divide By Zero", "CHECK_TIME", 185) + "returned\n");
}

void ProtectorTest::faultOutsideProcedures_endsWithSignalAndName()
{
    const ChildResult child = inChild([](int) {
        vbwInitializeProtector();
        writeNull();
    });
    QVERIFY(!child.exited);
    QCOMPARE(child.signal, SIGSEGV);
    QVERIFY2(child.output.contains("Exception: Access Violation"), qPrintable(child.output));
}

void ProtectorTest::faultInHelperThread_neverJumpsIntoStatement()
{
    // The user-interface thread waits inside a guarded statement while a
    // helper thread faults: the helper's fault is outside any procedure.
    const ChildResult child = inChild([](int out) {
        vbwInitializeProtector();
        guarded("frmSet", "cmdLOAD_Click", [&](Procedure &p) {
            p.run(65, [] {
                QThread *helper = QThread::create([] { writeNull(); });
                helper->start();
                helper->wait();
            });
            p.run(66, [&] { say(out, "went on\n"); });
        });
    });
    QVERIFY2(!child.exited, qPrintable(child.output));
    QCOMPARE(child.signal, SIGSEGV);
    QCOMPARE(child.output, QString("Periodix: Exception: Access Violation\n"));
}

void ProtectorTest::faultInNestedEventLoop_data()
{
    QTest::addColumn<bool>("guardedInLoop");
    QTest::newRow("in a statement of the dialog's own") << true;
    QTest::newRow("in unguarded code of the dialog") << false;
}

void ProtectorTest::faultInNestedEventLoop()
{
    // A modal window's loop run from a statement, as the settings window is
    // from line 88: a fault inside it jumps back only to a statement that
    // runs in that loop, never across it to the statement that opened it.
    QFETCH(bool, guardedInLoop);
    const ChildResult child = inChild([guardedInLoop](int out) {
        vbwInitializeProtector();
        guarded("frmMAIN", "cmdSETTING_Click", [&](Procedure &p) {
            p.run(88, [&] {
                QEventLoop loop;
                QTimer::singleShot(0, [&] {
                    if (guardedInLoop)
                        guarded("frmSet", "cmdOK_Click", [](Procedure &inner) { inner.run(107, [] { writeNull(); }); });
                    else
                        writeNull();
                    loop.quit();
                });
                loop.exec();
                say(out, "closed\n");
            });
        });
    });
    if (guardedInLoop) {
        QVERIFY2(child.exited && child.exitCode == 0, qPrintable(child.output));
        QCOMPARE(child.output, QString("Error 65535\r\nException: Access Violation\r\n"
                                       "Location: Periodix.frmSet.cmdOK_Click\r\nLine 107\n--\nclosed\n"));
    } else {
        QVERIFY2(!child.exited, qPrintable(child.output));
        QCOMPARE(child.signal, SIGSEGV);
        QCOMPARE(child.output, QString("Periodix: Exception: Access Violation\n"));
    }
}

void ProtectorTest::exceptionName_table_data()
{
    QTest::addColumn<quint32>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("access violation") << 0xC0000005u << "Exception: Access Violation";
    QTest::newRow("misalignment") << 0x80000002u << "Exception: Datatype Misalignment";
    QTest::newRow("breakpoint") << 0x80000003u << "Exception: Breakpoint";
    QTest::newRow("single step") << 0x80000004u << "Exception: Single Step";
    QTest::newRow("bounds") << 0xC000008Cu << "Exception: Array Bounds Exceeded";
    QTest::newRow("denormal") << 0xC000008Du << "Exception: Float Denormal Operand";
    QTest::newRow("float divide") << 0xC000008Eu << "Exception: Float Divide By Zero";
    QTest::newRow("inexact") << 0xC000008Fu << "Exception: Float Inexact Result";
    QTest::newRow("invalid") << 0xC0000090u << "Exception: Float Invalid Operation";
    QTest::newRow("float overflow") << 0xC0000091u << "Exception: Float Overflow";
    QTest::newRow("stack check") << 0xC0000092u << "Exception: Float Stack Check";
    QTest::newRow("underflow") << 0xC0000093u << "Exception: Float Underflow";
    QTest::newRow("int divide") << 0xC0000094u << "Exception: Integer Divide By Zero";
    QTest::newRow("int overflow") << 0xC0000095u << "Exception: Integer Overflow";
    QTest::newRow("privileged") << 0xC0000096u << "Exception: Priv Instruction";
    QTest::newRow("in page") << 0xC0000006u << "Exception: In Page Error";
    QTest::newRow("illegal") << 0xC000001Du << "Exception: Illegal Instruction";
    QTest::newRow("non continuable") << 0xC0000025u << "Exception: Non Continuable Exception";
    QTest::newRow("stack overflow") << 0xC00000FDu << "Exception: Stack Overflow";
    QTest::newRow("disposition") << 0xC0000026u << "Exception: Invalid Disposition";
    QTest::newRow("guard page") << 0x80000001u << "Exception: Guard Page";
    QTest::newRow("handle") << 0xC0000008u << "Exception: Invalid Handle";
    QTest::newRow("control c") << 0xC000013Au << "Exception: Control C Exit";
    QTest::newRow("not in the table") << 0xE06D7363u << "Unknown Exception";
    QTest::newRow("zero") << 0u << "Unknown Exception";
}

void ProtectorTest::exceptionName_table()
{
    QFETCH(quint32, code);
    QFETCH(QString, name);
    QCOMPARE(vbwExceptionName(static_cast<qint32>(code)), name);
}

void ProtectorTest::filter_namesLastRecordOfChain()
{
    ExceptionRecord last{0xC0000094, 0, nullptr, nullptr};
    ExceptionRecord middle{0xC0000005, 0, &last, nullptr};
    ExceptionRecord first{0x12345678, 0, &middle, nullptr};
    const ExceptionPointers info{&first, nullptr};
    RuntimeError raised{0, {}};
    try {
        vbwExceptionFilter(&info);
    } catch (const RuntimeError &e) {
        raised = e;
    }
    QCOMPARE(raised.number, 65535);
    QCOMPARE(raised.description, QString("Exception: Integer Divide By Zero"));
}

void ProtectorTest::signalCodes_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("nearStack");
    QTest::addColumn<quint32>("exception");
    QTest::newRow("segv") << SIGSEGV << int(SEGV_MAPERR) << false << 0xC0000005u;
    QTest::newRow("segv at the stack") << SIGSEGV << int(SEGV_MAPERR) << true << 0xC00000FDu;
    QTest::newRow("bus misaligned") << SIGBUS << int(BUS_ADRALN) << false << 0x80000002u;
    QTest::newRow("bus mapped page") << SIGBUS << int(BUS_OBJERR) << false << 0xC0000006u;
    QTest::newRow("int divide") << SIGFPE << int(FPE_INTDIV) << false << 0xC0000094u;
    QTest::newRow("int overflow") << SIGFPE << int(FPE_INTOVF) << false << 0xC0000095u;
    QTest::newRow("float divide") << SIGFPE << int(FPE_FLTDIV) << false << 0xC000008Eu;
    QTest::newRow("float overflow") << SIGFPE << int(FPE_FLTOVF) << false << 0xC0000091u;
    QTest::newRow("float underflow") << SIGFPE << int(FPE_FLTUND) << false << 0xC0000093u;
    QTest::newRow("float inexact") << SIGFPE << int(FPE_FLTRES) << false << 0xC000008Fu;
    QTest::newRow("float invalid") << SIGFPE << int(FPE_FLTINV) << false << 0xC0000090u;
    QTest::newRow("illegal") << SIGILL << int(ILL_ILLOPN) << false << 0xC000001Du;
    QTest::newRow("privileged") << SIGILL << int(ILL_PRVOPC) << false << 0xC0000096u;
}

void ProtectorTest::signalCodes()
{
    QFETCH(int, signal);
    QFETCH(int, code);
    QFETCH(bool, nearStack);
    QFETCH(quint32, exception);
    QCOMPARE(exceptionCodeFor(signal, code, nearStack), exception);
}

void ProtectorTest::secondInitialisation_installsNothing()
{
    const ChildResult child = inChild([](int out) {
        vbwInitializeProtector();
        struct sigaction mine{};
        mine.sa_handler = SIG_IGN;
        sigemptyset(&mine.sa_mask);
        ::sigaction(SIGBUS, &mine, nullptr);
        vbwInitializeProtector();
        struct sigaction now{};
        ::sigaction(SIGBUS, nullptr, &now);
        say(out, now.sa_handler == SIG_IGN ? "kept\n" : "replaced\n");
    });
    QCOMPARE(child.output, QString("kept\n"));
}

void ProtectorTest::failingInstallation_reportsInProtectorModule()
{
    const ChildResult child = inChild([](int) {
        setSigactionForTest([](int, const struct sigaction *, struct sigaction *) { return -1; });
        vbwInitializeProtector();
    });
    QVERIFY(child.output.startsWith("Error 5\r\n"));
    QVERIFY2(child.output.contains("Location: Periodix.vbwProtector.vbwHandleException\r\nLine 9"),
             qPrintable(child.output));
}

QTEST_GUILESS_MAIN(ProtectorTest)
#include "protector_test.moc"
