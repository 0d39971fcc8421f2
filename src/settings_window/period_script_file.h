#pragma once

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QString>

#include "error_reporting/process_end.h"

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

// Writes a text file line by line, each line ended by CR LF, through a
// QSaveFile: the lines go to a temporary file beside the target (the file a
// symbolic link points to), which replaces it, with its permissions, only when
// close() has written everything; a save that fails half-way leaves the old
// file as it was. Where the folder takes no new files but the file itself may
// be written, or where the name leaves no room for the temporary file's longer
// one, the file is written directly, as a plain open would. A failed
// line is not kept, so writing it again continues cleanly; when a failed
// line is skipped instead, close() refuses to replace the old file with the
// incomplete new one. The temporary file never outlives the writer, not even
// when the program ends at once.
class ScriptWriter {
public:
    // Makes the (unopened) device for the target; tests put in a device that
    // fails after some bytes.
    using DeviceFactory = std::function<std::unique_ptr<QSaveFile>(const QString &path)>;
    static void setDeviceFactory(DeviceFactory factory);

    ScriptWriter();
    ScriptWriter(const ScriptWriter &) = delete;
    ScriptWriter &operator=(const ScriptWriter &) = delete;
    ~ScriptWriter();

    void open(const QString &path);
    void writeLine(const QString &text);
    void close();

private:
    void openDevice();
    void openDirect();
    bool noRoomForTemporary(int error) const;
    void put(const QByteArray &bytes);
    void discard();

    QString path_;
    std::unique_ptr<QFileDevice> device_; // none after a failed write
    QSaveFile *saveFile_ = nullptr;       // the device, unless written directly
    UndoAtProgramEnd undoAtEnd_;
    QByteArray content_;        // the lines written whole
    bool lineLost_ = false;     // a failed line was skipped, not written again
    QByteArray failedLine_;     // the line whose write failed last
    qint32 failedError_ = 0;    // and the error it raised
};

// The runtime error for the system error of a failed file operation.
[[noreturn]] void raiseFileError(int systemError);

} // namespace periodix
