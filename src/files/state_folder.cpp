#include "files/state_folder.h"

#include <QDir>
#include <QFile>

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

} // namespace periodix
