#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <QString>
#include <QTemporaryDir>

// The example set of two halves and an open-length overtime, as saved with
// the countdown timer: 62 bytes.
inline const QByteArray ExampleSet = "TimeLeft\r\n1st Half\r\n20:00\r\n2nd Half\r\n20:00\r\nOvertime\r\nAsk me\r\n";

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The same, for a file named by bytes that need not be UTF-8.
inline bool writeAll(const QByteArray &path, const QByteArray &bytes)
{
    QFile file;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd >= 0 && file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle) && file.write(bytes) == bytes.size();
}

// A state folder any user may write, as the operator's own is his: copies of
// sets written in place go there. Returns the folder of those copies.
inline QString useOpenStateFolder()
{
    static QTemporaryDir state;
    const QString copies = state.path() + "/periodix/old-sets";
    QDir().mkpath(copies);
    for (const QString &folder : {state.path(), state.path() + "/periodix", copies})
        QFile::setPermissions(folder, QFileDevice::Permissions(0x7777));
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    return copies;
}
