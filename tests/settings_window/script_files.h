#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

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
