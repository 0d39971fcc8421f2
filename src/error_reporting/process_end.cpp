#include "error_reporting/process_end.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace periodix {

namespace {
std::function<void(int)> &ender()
{
    static std::function<void(int)> instance;
    return instance;
}
UndoAtProgramEnd *newestUndo = nullptr;
} // namespace

UndoAtProgramEnd::UndoAtProgramEnd(std::function<void()> undo) : undo_(std::move(undo)), previous_(newestUndo)
{
    newestUndo = this;
}

UndoAtProgramEnd::~UndoAtProgramEnd()
{
    // Objects of one thread end in reverse order, so this is the newest.
    newestUndo = previous_;
}

void endProgramNow(int exitCode)
{
    for (UndoAtProgramEnd *u = newestUndo; u; u = u->previous_) {
        if (u->undo_)
            u->undo_();
    }
    if (ender())
        ender()(exitCode);
    std::fflush(nullptr);
    ::_exit(exitCode);
}

void setProgramEnder(std::function<void(int)> e)
{
    ender() = std::move(e);
}

} // namespace periodix
