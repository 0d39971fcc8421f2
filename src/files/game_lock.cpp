#include "files/game_lock.h"

#include "files/regular_file.h"
#include "files/state_folder.h"

#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace periodix {

GameLock::GameLock(QString gamePath) : path_(gamePath + QStringLiteral(".lock")) {}

GameLock::~GameLock()
{
    if (fd_ >= 0)
        ::close(fd_);
}

GameLock::Result GameLock::tryLock(QString &why)
{
    if (fd_ >= 0)
        return Result::Held;
    int error = 0;
    int fd = makeFolder(QFileInfo(path_).absolutePath(), error) ? openRegularFile(path_, O_RDWR | O_CREAT, error) : -1;
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno;
        if (error == EWOULDBLOCK) {
            // The holder writes its number once it holds the lock.
            char text[32] = {};
            const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
            const qint64 pid = got > 0 ? QByteArray(text, int(got)).trimmed().toLongLong() : 0;
            why = pid > 0 ? QStringLiteral("process %1").arg(pid) : QStringLiteral("a process that is starting");
            ::close(fd);
            return Result::HeldByOther;
        }
        ::close(fd);
        fd = -1;
    }
    if (fd < 0) {
        why = fileErrorText(error);
        return Result::CannotBeMade;
    }
    // Only for the message above: the lock is the kernel's, not this text.
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.constData(), size_t(pid.size()), 0) != pid.size()) {
        // Held all the same; only the second Periodix's message is vaguer.
    }
    fd_ = fd;
    return Result::Held;
}

} // namespace periodix
