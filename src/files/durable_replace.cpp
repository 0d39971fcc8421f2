#include "files/durable_replace.h"

#include "files/state_folder.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace periodix {

QString fileKey(const QString &path)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(QFile::encodeName(path), QCryptographicHash::Sha256).toHex().left(16));
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
