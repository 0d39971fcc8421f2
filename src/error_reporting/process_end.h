#pragma once

#include <functional>

namespace periodix {

// Ends the process at once: no window closing handler runs, nothing is saved.
// Abort in the error report and "End" in the settings window use it.
[[noreturn]] void endProgramNow(int exitCode);

// Tests replace the ending with their own action (which must not return
// normally, for example by throwing); an empty function restores the default.
void setProgramEnder(std::function<void(int)> ender);

} // namespace periodix
