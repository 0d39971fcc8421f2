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
} // namespace

void endProgramNow(int exitCode)
{
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
