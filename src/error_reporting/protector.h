#pragma once

#include <QString>

#include <csignal>

// The crash handler: processor faults (an access violation, a stack overflow,
// a division by zero, an illegal instruction) become error 65535 of the
// procedure that was running, named after the fault, so the operator sees the
// ordinary error report instead of the program dying.
namespace periodix::vbwProtector {

// One fault, as the exception filter reads it: the code and a chain of nested
// records, of which the last one names the fault.
struct ExceptionRecord {
    quint32 ExceptionCode = 0;
    quint32 ExceptionFlags = 0;
    ExceptionRecord *ExceptionRecordNested = nullptr;
    void *ExceptionAddress = nullptr;
};

struct ExceptionPointers {
    ExceptionRecord *Record = nullptr;
    void *ContextRecord = nullptr;
};

// Starts the crash handler once; later calls do nothing.
void vbwInitializeProtector();

// Installs the signal handlers for SIGSEGV, SIGBUS, SIGFPE and SIGILL, on an
// alternate stack so that a stack overflow is caught too.
void vbwHandleException();

// Names the last record of the chain and raises error 65535 with that name.
qint32 vbwExceptionFilter(const ExceptionPointers *info);

QString vbwExceptionName(qint32 code);
// The same name as plain text, for the signal handler, which may not allocate.
const char *exceptionNameText(quint32 code);

// The exception code of a signal, as the fault's name table knows it.
quint32 exceptionCodeFor(int signal, int code, bool nearStackPointer);

// Tests make the installation fail with this in place of sigaction().
using SigactionFunction = int (*)(int, const struct sigaction *, struct sigaction *);
void setSigactionForTest(SigactionFunction function);

} // namespace periodix::vbwProtector
