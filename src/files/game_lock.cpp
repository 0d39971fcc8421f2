#include "files/game_lock.h"

#include <QDir>
#include <QFileInfo>

namespace periodix {

KeptGameLock::KeptGameLock(const QString &gamePath)
    : folder_(QFileInfo(gamePath).absolutePath()), lock_(gamePath + QStringLiteral(".lock"))
{
    // Only a living holder counts, however old its lock.
    lock_.setStaleLockTime(0);
}

bool KeptGameLock::tryLock(QString &holder)
{
    QDir().mkpath(folder_);
    if (lock_.tryLock(0))
        return true;
    if (lock_.error() != QLockFile::LockFailedError)
        return true;
    qint64 pid = 0;
    QString host;
    QString application;
    holder = lock_.getLockInfo(&pid, &host, &application) ? QStringLiteral("process %1").arg(pid)
                                                          : QStringLiteral("a process that is starting");
    return false;
}

} // namespace periodix
