#pragma once

#include <QByteArray>
#include <QTemporaryFile>

#include <cstdio>
#include <functional>
#include <unistd.h>

// What the code run writes to standard error, from any thread, while it runs.
inline QByteArray stderrOf(const std::function<void()> &run)
{
    QTemporaryFile file;
    if (!file.open())
        return "<no file>";
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(file.handle(), STDERR_FILENO);
    run();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    file.seek(0); // the descriptor's offset moved with what was written
    return file.readAll();
}
