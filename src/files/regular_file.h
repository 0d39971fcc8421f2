#pragma once

#include <QByteArray>
#include <QString>

namespace periodix {

// The error of a file that is there but is no regular file (a folder, a FIFO,
// a device, a socket), and of one larger than its reader takes; beside the
// system's own errors.
inline constexpr int NotRegularFile = -1;
inline constexpr int FileTooLarge = -2;

// Opens a regular file, never waiting: a FIFO is not opened for a writer to
// come, the type is checked before anything reads or writes. The descriptor
// (close-on-exec, blocking), or -1 with error set.
int openRegularFile(const QString &path, int flags, int &error, int mode = 0600);

// The whole of a regular file of at most `most` bytes; false with error set.
bool readRegularFile(const QString &path, qint64 most, QByteArray &bytes, int &error);

// What a failed open or read says to the operator: "not a regular file",
// "too large", or the system's own words.
QString fileErrorText(int error);

// The path as the system names it. A name that is not valid UTF-8 reaches
// Periodix with U+FFFD in place of its bad bytes, and would name another
// file: false when the folder holds a file whose name only reads so.
bool nameIsExact(const QString &path);

} // namespace periodix
