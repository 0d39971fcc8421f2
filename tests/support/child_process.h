#pragma once

#include "error_reporting/error_report.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <sys/wait.h>
#include <grp.h>
#include <unistd.h>

#include <cstring>
#include <functional>

// How a child process ended and what it said.
struct ChildResult {
    bool exited = false;
    int exitCode = -1;
    int signal = 0;
    QString output; // what the child wrote to its pipe and standard error
};

// Writes text to the parent's pipe.
inline void say(int out, const char *text)
{
    const ssize_t ignored = ::write(out, text, std::strlen(text));
    (void)ignored;
}

// Runs `body` in a child process, so that a fault or an ending of the
// program can never take the suite down; each error report the child shows
// is written to the pipe and answered with the next of `answers` (Ignore when
// they run out). The child ends with status 0 when `body` returns.
inline ChildResult inChild(const std::function<void(int out)> &body, QList<periodix::Choice> answers = {})
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        ::dup2(pipeFds[1], STDERR_FILENO);
        const int out = pipeFds[1];
        periodix::setReportPresenter([out, answers](const periodix::ErrorReport &report) mutable {
            say(out, (report.text().toLatin1() + "\n--\n").constData());
            return answers.isEmpty() ? periodix::Choice::Ignore : answers.takeFirst();
        });
        body(out);
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    QByteArray all;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        all.append(buffer, n);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ChildResult result;
    result.exited = WIFEXITED(status);
    result.exitCode = result.exited ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    result.output = QString::fromLatin1(all);
    return result;
}

// The user whom file permissions bind: root passes them, so a test that is
// run as root proves them as "nobody". True when the process is such a user
// now, false when it cannot become one (root of a user namespace that maps
// no other user).
inline bool becomeUnprivileged()
{
    if (::geteuid() != 0)
        return true;
    constexpr uid_t nobody = 65534;
    return ::setgroups(0, nullptr) == 0 && ::setgid(nobody) == 0 && ::setuid(nobody) == 0;
}
