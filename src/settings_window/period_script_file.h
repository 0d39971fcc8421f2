#pragma once

#include <QByteArray>
#include <QList>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QTemporaryFile>

#include "clock/period_script_reader.h"
#include "error_reporting/process_end.h"

#include <functional>
#include <memory>

namespace periodix {

// Writes a text file line by line, each line ended by CR LF, through a
// QSaveFile: the lines go to a new file beside the target (the file a symbolic
// link points to), which replaces it, with its permissions, only when close()
// has written and synced everything; a save that fails half-way leaves the old
// file as it was. Where the folder takes no new files but the file itself may
// be written, the file is written in place, as a plain open would. A name too
// long for QSaveFile's own temporary name is written under a short one in the
// same folder and renamed at the close.
//
// Every statement of a save may fail and be retried or skipped, so the writer
// keeps every line it was given. A line is known by the statement that writes
// it: the same statement again right after its failure is a retry, any other
// means the failed line was skipped. A skipped line makes the first close
// refuse to replace the old file with an incomplete one; a close run again
// writes the whole set afresh, the skipped lines included. A close that
// failed writes everything again when retried. Written in place, the old file
// is gone anyway, so the close completes the file without refusing.
// The new file never outlives the writer, not even when the program ends at
// once.
class ScriptWriter {
public:
    // Makes the (unopened) device for the file written; tests put in a device
    // that fails after some bytes.
    using DeviceFactory = std::function<std::unique_ptr<QSaveFile>(const QString &path)>;
    static void setDeviceFactory(DeviceFactory factory);

    ScriptWriter();
    ScriptWriter(const ScriptWriter &) = delete;
    ScriptWriter &operator=(const ScriptWriter &) = delete;
    ~ScriptWriter();

    // A failed open leaves the writer closed: writes and the close then fail
    // as on a file that is not open.
    void open(const QString &path);
    void writeLine(int statement, const QString &text);
    void close();

private:
    void requireOpen() const;
    void openDevice();
    void openDirect();
    QString realTarget() const;
    void put(const QByteArray &bytes);
    void finish();
    void discard();

    QString path_;                        // the target, while open
    std::unique_ptr<QFileDevice> device_; // none after a failure
    QSaveFile *saveFile_ = nullptr;       // the device, unless written directly
    std::unique_ptr<QTemporaryFile> shortName_; // the short name a long one is written under
    bool inPlace_ = false;                // the old file is already overwritten
    UndoAtProgramEnd undoAtEnd_;
    QList<QByteArray> lines_; // every line given, skipped ones included
    QByteArray written_;      // what a fresh device is given first: the lines written whole
    int failedStatement_ = 0; // the statement whose line failed last, until it runs again or another does
    qint32 failedError_ = 0;  // and the error it raised
    qint32 skippedError_ = 0; // a skipped line's error; 0 while none was skipped
    bool closeRefused_ = false;
};

} // namespace periodix
