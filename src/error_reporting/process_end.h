#pragma once

#include <functional>

namespace periodix {

// Ends the process at once: no window closing handler runs, nothing is saved.
// Abort in the error report and "End" in the settings window use it.
[[noreturn]] void endProgramNow(int exitCode);

// Unfinished work that must not outlive the program, undone when it ends at
// once (a save's temporary file, say): registered for as long as this object
// lives; the newest runs first.
class UndoAtProgramEnd {
public:
    explicit UndoAtProgramEnd(std::function<void()> undo);
    ~UndoAtProgramEnd();
    UndoAtProgramEnd(const UndoAtProgramEnd &) = delete;
    UndoAtProgramEnd &operator=(const UndoAtProgramEnd &) = delete;

private:
    friend void endProgramNow(int);
    std::function<void()> undo_;
    UndoAtProgramEnd *previous_;
};

// Tests replace the ending with their own action (which must not return
// normally, for example by throwing); an empty function restores the default.
void setProgramEnder(std::function<void(int)> ender);

} // namespace periodix
