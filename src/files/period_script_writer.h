#pragma once

#include <QByteArray>
#include <QList>
#include <QFile>
#include <QString>

#include "files/period_script_reader.h"
#include "error_reporting/process_end.h"

#include <functional>
#include <memory>
#include <optional>

namespace periodix {

// Writes a text file line by line, each line ended by CR LF, through a
// QSaveFile: the lines go to a new file beside the target (the file a symbolic
// link points to, also one not made yet), which replaces it, with its
// permissions, only when close() has written and synced everything; a save
// that fails half-way leaves the old file as it was. A name too long for
// QSaveFile's own temporary name is written under a short one in the same
// folder and renamed at the close.
//
// Where no new file can take the old one's place, the file itself is written
// in place, its old contents kept in memory and written back whenever the
// save does not complete (a failure, Ignore, Abort), and kept on disk in the
// state folder until the new set or the old one is synced in place: in a
// folder that takes no new files, the lines go straight into it; where the
// folder refuses to replace the file (a shared folder with the sticky bit, a
// file of another user) but the file may be written, the whole set goes into
// it once it has been written and synced beside it, where it stays until the
// file holds it. Only regular files are written; a link loop is refused as a
// link to a folder that does not exist.
//
// Every statement of a save may fail and be retried or skipped, so the writer
// keeps every line it was given. A line is known by the statement that writes
// it: the same statement again right after its failure is a retry, any other
// means the failed line was skipped. A skipped line makes the first close
// refuse to replace the old file with an incomplete one; a close run again
// writes the whole set afresh, the skipped lines included. A close that
// failed writes everything again when retried.
// The new file never outlives the writer, not even when the program ends at
// once.
class ScriptWriter {
public:
    // Makes the (unopened) device for the file written: a QSaveFile, or a
    // QFile for writing the target in place. Tests put in a device that fails
    // after some bytes.
    using DeviceFactory = std::function<std::unique_ptr<QFileDevice>(const QString &path, bool inPlace)>;
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
    // True once a close has put the whole set in place.
    bool saved() const { return saved_; }

private:
    void requireOpen() const;
    void openDevice();
    void openInPlace();
    void keepOldCopy(const QString &real, const QByteArray &contents);
    bool restoreInPlace();
    void forgetOldContents();
    void finishInPlace();
    void replaceRefused(int error);
    QString realTarget() const;
    static QString realTargetOf(const QString &path);
    void put(const QByteArray &bytes);
    void finish();
    // False when old contents written in place could not be put back.
    bool discard();
    // Raises the error after a discard, saying so when the file holds part
    // of the new set and part of the old.
    [[noreturn]] void fail(int number, const QString &description);
    [[noreturn]] void failFile(int systemError);

    QString path_;                        // the target, while open
    std::unique_ptr<QFileDevice> device_; // none after a failure
    QString newFile_;                     // the new file beside the target, until it takes its place
    bool inPlace_ = false;                // the target itself is written
    bool fileWhole_ = true;               // the target holds a whole set, old or new
    // Written in place: what the file held, until the save completes, and
    // its synced copy in the state folder.
    std::optional<QByteArray> oldContents_;
    QString oldCopy_;
    qint64 inPlaceWritten_ = 0; // bytes put into the file
    QString newBeside_;         // the new set, kept beside the file while it is written in place
    bool saved_ = false;
    UndoAtProgramEnd undoAtEnd_;
    QList<QByteArray> lines_; // every line given, skipped ones included
    QByteArray written_;      // what a fresh device is given first: the lines written whole
    int failedStatement_ = 0; // the statement whose line failed last, until it runs again or another does
    qint32 failedError_ = 0;  // and the error it raised
    qint32 skippedError_ = 0; // a skipped line's error; 0 while none was skipped
    bool closeRefused_ = false;
};

} // namespace periodix
