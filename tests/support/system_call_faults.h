#pragma once

// Faults in the system calls that make a file durable and put it in place.
// This program's own definitions take the place of the C library's, for the
// calls Qt makes too: include this header in one file of a test program only.

#include <cerrno>
#include <cstdarg>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
// The system error that syncing to disk, and putting a new file in its place,
// fail with; 0 while they work.
int syncFault = 0;
int replaceFault = 0;
int syncsLeft = -1; // syncs that still work before syncFault applies; -1: none
int syncs = 0;      // fsync and fdatasync calls that worked
// The system error that stat (the C library's, not Qt's statx) fails with.
int statFault = 0;
// The system error that removing a file fails with.
int unlinkFault = 0;
// As fs.protected_regular does for another user's file in a shared folder:
// an open that may create refuses a file that exists.
bool createRefused = false;

int sync(long call, int fd)
{
    if (syncFault && (syncsLeft < 0 || syncsLeft-- == 0))
        return errno = syncFault, -1;
    const int result = int(::syscall(call, fd));
    syncs += result == 0;
    return result;
}
} // namespace

extern "C" int fsync(int fd)
{
    return sync(SYS_fsync, fd);
}
extern "C" int fdatasync(int fd)
{
    return sync(SYS_fdatasync, fd);
}
extern "C" int rename(const char *from, const char *to) noexcept
{
    return replaceFault ? (errno = replaceFault, -1) : int(::syscall(SYS_rename, from, to));
}
extern "C" int stat(const char *path, struct stat *status) noexcept
{
    return statFault ? (errno = statFault, -1) : int(::syscall(SYS_newfstatat, AT_FDCWD, path, status, 0));
}
extern "C" int unlink(const char *path) noexcept
{
    return unlinkFault ? (errno = unlinkFault, -1) : int(::syscall(SYS_unlinkat, AT_FDCWD, path, 0));
}
extern "C" int open64(const char *path, int flags, ...)
{
    va_list rest;
    va_start(rest, flags);
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? mode_t(va_arg(rest, int)) : 0;
    va_end(rest);
    struct stat status {};
    if (createRefused && (flags & O_CREAT) && !(flags & O_EXCL) && ::stat(path, &status) == 0)
        return errno = EACCES, -1;
    return int(::syscall(SYS_openat, AT_FDCWD, path, flags, mode));
}
extern "C" int open(const char *path, int flags, ...) __attribute__((alias("open64")));
