#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <functional>
#include <memory>

namespace periodix {

// Reads a text file line by line. A line ends at CR LF or at a lone CR (a lone
// LF is part of the line); a last line without an end is read to the end.
// Failures raise the runtime's file errors.
class ScriptReader {
public:
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

// Writes a text file line by line, each line ended by CR LF. The lines go to a
// temporary file beside the target, which replaces the target only when
// close() has written everything: a save that fails half-way leaves the old
// file as it was. A failed line is taken back out of the temporary file, so
// writing it again continues cleanly; when a failed line is skipped instead,
// close() refuses to replace the old file with the incomplete new one.
class ScriptWriter {
public:
    // Makes the (unopened) device that the temporary file is written through;
    // tests put in a device that fails after some bytes.
    using DeviceFactory = std::function<std::unique_ptr<QFile>(const QString &path)>;
    static void setDeviceFactory(DeviceFactory factory);

    ScriptWriter() = default;
    ScriptWriter(const ScriptWriter &) = delete;
    ScriptWriter &operator=(const ScriptWriter &) = delete;
    ~ScriptWriter(); // drops an unfinished temporary file

    void open(const QString &path);
    void writeLine(const QString &text);
    void close();

private:
    void discard();

    QString target_;
    QString temporary_;
    std::unique_ptr<QFile> device_;
    qint64 written_ = 0;        // bytes of the lines written whole
    bool lineLost_ = false;     // a failed line was skipped, not written again
    QByteArray failedLine_;     // the line whose write failed last
    int failedError_ = 0;
};

// The runtime error for the system error of a failed file operation.
[[noreturn]] void raiseFileError(int systemError);

} // namespace periodix
