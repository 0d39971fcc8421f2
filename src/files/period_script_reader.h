#pragma once

#include <QByteArray>
#include <QString>

namespace periodix {

// Reads a text file line by line. A line ends at CR LF or at a lone CR (a lone
// LF is part of the line); a last line without an end is read to the end.
// Failures raise the runtime's file errors.
class ScriptReader {
public:
    // Only a regular file of at most LargestSetBytes is read.
    void open(const QString &path);
    // Reads lines from bytes already in memory.
    void openBytes(const QByteArray &bytes);
    bool atEnd() const;
    QString readLine(); // input past end of file (62) at the end
    void close();

private:
    QByteArray bytes_;
    qsizetype position_ = 0;
    bool open_ = false;
};

// The runtime error for the system error of a failed file operation.
[[noreturn]] void raiseFileError(int systemError);

// The largest period set the clock can take: 32767 periods, each a legend and
// a time line of up to 254 characters, after the keyword's line.
constexpr qint64 LargestSetBytes = 16 << 20;

// The whole of a file that may hold a period set. Opening never waits (a
// FIFO would wait for a writer): only a regular file of at most
// LargestSetBytes is read, anything else is refused as a folder is (75).
QByteArray readSetFile(const QString &path);

// Refuses (52) a name that is not valid UTF-8: see nameIsExact().
void requireExactName(const QString &path);

} // namespace periodix
