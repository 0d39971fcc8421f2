#include "files/regular_file.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace periodix {

int openRegularFile(const QString &path, int flags, int &error, int mode)
{
    // Without O_NONBLOCK, opening a FIFO waits for a writer.
    errno = 0;
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, mode);
    if (fd < 0) {
        error = errno ? errno : ENOENT;
        return -1;
    }
    struct stat status {};
    errno = 0;
    const bool regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    error = errno;
    if (!regular || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        error = !regular && error == 0 ? NotRegularFile : error ? error : errno ? errno : EIO;
        ::close(fd);
        return -1;
    }
    error = 0;
    return fd;
}

bool readRegularFile(const QString &path, qint64 most, QByteArray &bytes, int &error)
{
    const int fd = openRegularFile(path, O_RDONLY, error);
    if (fd < 0)
        return false;
    // One byte more than the most, to tell a file that is too large.
    bytes.clear();
    char buffer[65536];
    error = 0;
    while (bytes.size() <= most) {
        const ssize_t got = ::read(fd, buffer, size_t(std::min<qint64>(sizeof buffer, most + 1 - bytes.size())));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = errno ? errno : EIO;
            break;
        }
        if (got == 0)
            break;
        bytes.append(buffer, got);
    }
    ::close(fd);
    if (error == 0 && bytes.size() > most)
        error = FileTooLarge;
    return error == 0;
}

QString fileErrorText(int error)
{
    if (error == NotRegularFile)
        return QStringLiteral("not a regular file");
    if (error == FileTooLarge)
        return QStringLiteral("too large");
    return QString::fromLocal8Bit(std::strerror(error));
}

bool nameIsExact(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    if (!name.contains(QChar::ReplacementCharacter))
        return true;
    DIR *folder = ::opendir(QFile::encodeName(QFileInfo(path).absolutePath()).constData());
    if (!folder)
        return true; // the open that follows says why
    const QByteArray exact = QFile::encodeName(name);
    bool exactOnly = true;
    while (const dirent *entry = ::readdir(folder)) {
        const QByteArray raw(entry->d_name);
        if (raw != exact && QFile::decodeName(raw) == name)
            exactOnly = false;
    }
    ::closedir(folder);
    return exactOnly;
}

} // namespace periodix
