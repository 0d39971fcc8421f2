#include "files/feed_key_file.h"

#include <QFile>
#include <QFileInfo>

namespace periodix {

bool readFeedKey(const QString &path, QByteArray &key, QString &error)
{
    const QFileInfo info(path);
    // The type first: a FIFO or a device is never opened, so never waited on.
    if (!info.isFile()) {
        error = info.exists() ? QStringLiteral("not a regular file") : QStringLiteral("no such file");
        return false;
    }
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther
                                            | QFileDevice::WriteOther;
    if (info.permissions() & others) {
        error = QStringLiteral("others than its owner may read or write it (chmod 600 it)");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    key = file.read(LongestFeedKey + 1);
    if (key.endsWith('\n'))
        key.chop(key.endsWith("\r\n") ? 2 : 1);
    if (key.isEmpty() || key.size() > LongestFeedKey) {
        error = key.isEmpty() ? QStringLiteral("an empty key") : QStringLiteral("longer than 4 KiB");
        return false;
    }
    return true;
}

} // namespace periodix
