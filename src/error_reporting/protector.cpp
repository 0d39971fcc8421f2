#include "error_reporting/protector.h"

#include "error_reporting/recovery_point.h"
#include "error_reporting/runtime_error.h"
#include "error_reporting/statement_guard.h"

#include <ucontext.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace periodix::vbwProtector {

namespace {

const QString Module = QStringLiteral("vbwProtector");
constexpr int Signals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr qint32 ErrInvalidProcedureCall = 5;

bool enabled = false;
bool initialised = false;
SigactionFunction installAction = ::sigaction;

// The fault the handler caught, kept for the filter until the statement's
// recovery point has taken it.
ExceptionRecord pending;

// Space for the handler to run in when the normal stack has overflowed.
alignas(16) char alternateStack[64 * 1024];

bool nearStack(const void *address, const ucontext_t *context)
{
#if defined(__x86_64__)
    const auto sp = static_cast<std::uintptr_t>(context->uc_mcontext.gregs[REG_RSP]);
#elif defined(__aarch64__)
    const auto sp = static_cast<std::uintptr_t>(context->uc_mcontext.sp);
#else
    const std::uintptr_t sp = 0;
#endif
    const auto a = reinterpret_cast<std::uintptr_t>(address);
    constexpr std::uintptr_t reach = 64 * 1024;
    return sp != 0 && a + reach >= sp && a <= sp + reach;
}

void writeError(const char *text)
{
    const ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
    (void)ignored;
}

// The handler runs on the alternate stack and does only what a signal handler
// may: it notes the fault and jumps back to the statement's recovery point.
void onFault(int signal, siginfo_t *info, void *context)
{
    const quint32 code =
        exceptionCodeFor(signal, info->si_code, nearStack(info->si_addr, static_cast<ucontext_t *>(context)));
    RecoveryPoint *point = currentRecoveryPoint();
    // A fault of the processor, not a signal someone sent, in the statement's
    // own thread and event loop.
    if (point && info->si_code > 0 && faultMayReturnTo(*point)) {
        pending = ExceptionRecord{code, 0, nullptr, info->si_addr};
        siglongjmp(point->env, 1);
    }
    // No procedure of the program is running here: say what happened and let the
    // signal's default action end the process (a core dump stays possible).
    writeError("Periodix: ");
    writeError(exceptionNameText(code));
    writeError("\n");
    struct sigaction original{};
    original.sa_handler = SIG_DFL;
    sigemptyset(&original.sa_mask);
    ::sigaction(signal, &original, nullptr);
    if (info->si_code <= 0)
        ::raise(signal); // delivered when the handler returns
}

// The fault that jumped back, as the statement's error.
RuntimeError translatePending()
{
    ExceptionRecord record = pending;
    const ExceptionPointers pointers{&record, nullptr};
    try {
        vbwExceptionFilter(&pointers);
    } catch (const RuntimeError &error) {
        return error;
    }
    return RuntimeError{ErrProcessorFault, vbwExceptionName(static_cast<qint32>(record.ExceptionCode))};
}

} // namespace

quint32 exceptionCodeFor(int signal, int code, bool nearStackPointer)
{
    switch (signal) {
    case SIGSEGV:
        return nearStackPointer ? 0xC00000FD : 0xC0000005;
    case SIGBUS:
        return code == BUS_ADRALN ? 0x80000002 : 0xC0000006;
    case SIGFPE:
        switch (code) {
        case FPE_INTDIV: return 0xC0000094;
        case FPE_INTOVF: return 0xC0000095;
        case FPE_FLTDIV: return 0xC000008E;
        case FPE_FLTOVF: return 0xC0000091;
        case FPE_FLTUND: return 0xC0000093;
        case FPE_FLTRES: return 0xC000008F;
        case FPE_FLTSUB: return 0xC000008C;
        default: return 0xC0000090;
        }
    case SIGILL:
        return (code == ILL_PRVOPC || code == ILL_PRVREG) ? 0xC0000096 : 0xC000001D;
    default:
        return 0;
    }
}

const char *exceptionNameText(quint32 code)
{
    switch (code) {
    case 0xC0000005: return "Exception: Access Violation";
    case 0x80000002: return "Exception: Datatype Misalignment";
    case 0x80000003: return "Exception: Breakpoint";
    case 0x80000004: return "Exception: Single Step";
    case 0xC000008C: return "Exception: Array Bounds Exceeded";
    case 0xC000008D: return "Exception: Float Denormal Operand";
    case 0xC000008E: return "Exception: Float Divide By Zero";
    case 0xC000008F: return "Exception: Float Inexact Result";
    case 0xC0000090: return "Exception: Float Invalid Operation";
    case 0xC0000091: return "Exception: Float Overflow";
    case 0xC0000092: return "Exception: Float Stack Check";
    case 0xC0000093: return "Exception: Float Underflow";
    case 0xC0000094: return "Exception: Integer Divide By Zero";
    case 0xC0000095: return "Exception: Integer Overflow";
    case 0xC0000096: return "Exception: Priv Instruction";
    case 0xC0000006: return "Exception: In Page Error";
    case 0xC000001D: return "Exception: Illegal Instruction";
    case 0xC0000025: return "Exception: Non Continuable Exception";
    case 0xC00000FD: return "Exception: Stack Overflow";
    case 0xC0000026: return "Exception: Invalid Disposition";
    case 0x80000001: return "Exception: Guard Page";
    case 0xC0000008: return "Exception: Invalid Handle";
    case 0xC000013A: return "Exception: Control C Exit";
    default: return "Unknown Exception";
    }
}

QString vbwExceptionName(qint32 code)
{
    return QString::fromLatin1(exceptionNameText(static_cast<quint32>(code)));
}

qint32 vbwExceptionFilter(const ExceptionPointers *info)
{
    ExceptionRecord record = *info->Record;
    while (record.ExceptionRecordNested)
        record = *record.ExceptionRecordNested;
    raiseError(ErrProcessorFault, vbwExceptionName(static_cast<qint32>(record.ExceptionCode)));
    return -1; // never reached: the raised error goes to the running procedure
}

void vbwHandleException()
{
    guarded(Module, QStringLiteral("vbwHandleException"), [](Procedure &p) {
        p.run(9, [] {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
            // The sanitizers own these signals in their builds.
            return;
#endif
            stack_t stack{};
            stack.ss_sp = alternateStack;
            stack.ss_size = sizeof alternateStack;
            if (::sigaltstack(&stack, nullptr) != 0)
                raiseError(ErrInvalidProcedureCall, QStringLiteral("Invalid procedure call or argument"));
            for (int signal : Signals) {
                struct sigaction action{};
                action.sa_sigaction = onFault;
                action.sa_flags = SA_SIGINFO | SA_ONSTACK;
                sigemptyset(&action.sa_mask);
                if (installAction(signal, &action, nullptr) != 0)
                    raiseError(ErrInvalidProcedureCall, QStringLiteral("Invalid procedure call or argument"));
            }
            setFaultTranslator(translatePending);
        });
    });
}

void vbwInitializeProtector()
{
    guarded(Module, QStringLiteral("vbwInitializeProtector"), [](Procedure &p) {
        if (p.test(2, [] { return initialised; }))
            return;
        p.run(3, [] { enabled = true; });
        if (p.test(4, [] { return enabled; }))
            p.run(5, [] { vbwHandleException(); });
        p.run(6, [] { initialised = true; });
    });
}

void setSigactionForTest(SigactionFunction function)
{
    installAction = function ? function : ::sigaction;
}

} // namespace periodix::vbwProtector
