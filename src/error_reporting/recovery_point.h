#pragma once

#include "error_reporting/runtime_error.h"

#include <pthread.h>

#include <cfenv>
#include <csetjmp>

class QThread;

namespace periodix {

// Where a processor fault inside a guarded statement comes back to: each
// statement sets one up before it runs (when the crash handler is installed),
// and the fault's signal handler jumps back to the innermost one. It holds only
// plain data, so nothing needs destroying when a jump passes over it.
//
// A jump is only safe from the thread that set the point up, and only from
// the event loop the statement itself runs in: a fault in a helper thread, or
// in unguarded code running inside a modal dialog's nested loop, would unwind
// through state that is not the statement's own. Such faults count as outside
// any procedure.
struct RecoveryPoint {
    sigjmp_buf env;
    fenv_t floatingPoint;
    RecoveryPoint *previous;
    pthread_t thread;
    QThread *qtThread;  // its event loops, or nullptr where Qt knows none
    int loopLevel;
};

// True when a fault raised now, on the calling thread, may jump back to
// `point`. Safe in a signal handler: it only reads.
bool faultMayReturnTo(const RecoveryPoint &point);

// The innermost recovery point, or none while no statement runs. Read by the
// signal handler.
RecoveryPoint *currentRecoveryPoint();

// Turns the fault that jumped back into the error its statement reports.
using FaultTranslator = RuntimeError (*)();
void setFaultTranslator(FaultTranslator translator);

} // namespace periodix
