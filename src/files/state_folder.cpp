#include "files/state_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>

namespace periodix {

QString stateFolder()
{
    // Qt 6.4 has no state location of its own, so the XDG rule is followed
    // here: a relative XDG_STATE_HOME is to be ignored.
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/periodix");
}

bool syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

bool makeFolder(const QString &folder, int &error)
{
    const QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (QFileInfo(path).isDir())
        return true;
    const QString parent = QFileInfo(path).absolutePath();
    if (parent != path && !makeFolder(parent, error))
        return false;
    if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0 && errno != EEXIST) {
        error = errno;
        return false;
    }
    if (!syncFolder(parent)) {
        error = errno ? errno : EIO;
        return false;
    }
    return true;
}

} // namespace periodix
