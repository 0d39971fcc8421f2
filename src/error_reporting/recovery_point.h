#pragma once

#include "error_reporting/runtime_error.h"

#include <cfenv>
#include <csetjmp>

namespace periodix {

// Where a processor fault inside a guarded statement comes back to: each
// statement sets one up before it runs (when the crash handler is installed),
// and the fault's signal handler jumps back to the innermost one. It holds only
// plain data, so nothing needs destroying when a jump passes over it.
struct RecoveryPoint {
    sigjmp_buf env;
    fenv_t floatingPoint;
    RecoveryPoint *previous;
};

// The innermost recovery point, or none while no statement runs. Read by the
// signal handler.
RecoveryPoint *currentRecoveryPoint();

// Turns the fault that jumped back into the error its statement reports.
using FaultTranslator = RuntimeError (*)();
void setFaultTranslator(FaultTranslator translator);

} // namespace periodix
