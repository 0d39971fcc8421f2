#include "files/durable_replace.h"

#include "files/state_folder.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace periodix {

QString fileKey(const QString &path)
{
    // The folder as the system resolves it, so that every way to it gives
    // one key.
    const QFileInfo info(path);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    const QString full = folder.isEmpty() ? info.absoluteFilePath() : folder + u'/' + info.fileName();
    return QString::fromLatin1(
        QCryptographicHash::hash(QFile::encodeName(full), QCryptographicHash::Sha256).toHex().left(16));
}

bool writeSynced(const QString &path, const QByteArray &bytes, int flags, int &error)
{
    const QByteArray name = QFile::encodeName(path);
    errno = 0;
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | flags, 0600);
    if (fd < 0) {
        error = errno ? errno : EIO;
        return false;
    }
    bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size() && ::fsync(fd) == 0;
    error = written ? 0 : errno ? errno : EIO;
    ::close(fd);
    if (written && !syncFolder(QFileInfo(path).absolutePath())) {
        error = errno ? errno : EIO;
        written = false;
    }
    if (!written)
        ::unlink(name.constData());
    return written;
}

QString besideName(const QString &target)
{
    const QFileInfo info(target);
    return QStringLiteral("%1/.%2-%3.new")
        .arg(info.absolutePath(), fileKey(info.absoluteFilePath()))
        .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

Put putInPlace(int fd, const QString &newPath, const QString &target, bool sync, int &error)
{
    errno = 0;
    if (sync && ::fsync(fd) != 0) {
        error = errno ? errno : EIO;
        return Put::FileNotSynced;
    }
    if (::rename(QFile::encodeName(newPath).constData(), QFile::encodeName(target).constData()) != 0) {
        error = errno ? errno : EIO;
        return Put::NotRenamed;
    }
    if (sync && !syncFolder(QFileInfo(target).absolutePath())) {
        error = errno ? errno : EIO;
        return Put::FolderNotSynced;
    }
    return Put::Done;
}

} // namespace periodix
