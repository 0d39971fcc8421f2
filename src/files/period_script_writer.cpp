#include "files/period_script_writer.h"

#include "error_reporting/runtime_error.h"
#include "clock/ansi_text.h"
#include "files/durable_replace.h"
#include "files/leftovers.h"
#include "files/regular_file.h"
#include "files/state_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace periodix {

namespace {
ScriptWriter::DeviceFactory &deviceFactory()
{
    static ScriptWriter::DeviceFactory factory;
    return factory;
}

std::unique_ptr<QFileDevice> makeDevice(const QString &path, bool inPlace)
{
    if (deviceFactory())
        return deviceFactory()(path, inPlace);
    (void)inPlace;
    return std::make_unique<QFile>(path);
}
} // namespace

void ScriptWriter::setDeviceFactory(DeviceFactory factory)
{
    deviceFactory() = std::move(factory);
}

namespace {
[[noreturn]] void raiseLastFileError(int fallback)
{
    raiseFileError(errno ? errno : fallback);
}

// Why no new file can be made beside the file: read from the folder itself,
// since a failed open leaves errno to whatever Qt called after it.
int newFileError(const QString &file)
{
    errno = 0;
    if (::access(QFile::encodeName(QFileInfo(file).absolutePath()).constData(), W_OK | X_OK) == 0)
        return EACCES;
    return errno ? errno : EACCES;
}

void removeCopy(QString &path)
{
    if (!path.isEmpty())
        ::unlink(QFile::encodeName(path).constData());
    path.clear();
}

// No new file takes the old one's place, but the file itself may be written.
bool refusedButWritable(int error, const QString &file)
{
    return (error == EACCES || error == EPERM) && QFileInfo::exists(file) &&
           ::access(QFile::encodeName(file).constData(), R_OK | W_OK) == 0;
}
} // namespace

// Abort in a report ends the program at once: the new file goes too.
ScriptWriter::ScriptWriter() : undoAtEnd_([this] { discard(); }) {}

ScriptWriter::~ScriptWriter()
{
    discard();
}

bool ScriptWriter::discard()
{
    // Written in place and not complete: the old contents go back, tried
    // again by every discard until they are in, the writer's last included.
    if (!fileWhole_)
        fileWhole_ = restoreInPlace();
    inPlace_ = false;
    device_.reset();
    removeCopy(newFile_); // an unfinished new file, never put in place
    // A copy goes only once the file holds a whole set: until then a report
    // may name it, and it is what a crash leaves to load.
    if (fileWhole_) {
        forgetOldContents();
        removeCopy(newBeside_);
    }
    return fileWhole_;
}

void ScriptWriter::forgetOldContents()
{
    oldContents_.reset();
    removeCopy(oldCopy_);
}

void ScriptWriter::fail(int number, const QString &description)
{
    if (!discard()) {
        raiseError(number, QStringLiteral("The set could not be saved, and the old set could not be written back: "
                                          "%1 may hold part of each. A copy of the old set is kept in %2. "
                                          "Retry saves the whole set.")
                               .arg(QDir::toNativeSeparators(realTarget()), QDir::toNativeSeparators(oldCopy_)));
    }
    raiseError(number, description);
}

void ScriptWriter::open(const QString &path)
{
    discard();
    path_.clear();
    lines_.clear();
    written_.clear();
    failedStatement_ = 0;
    failedError_ = 0;
    skippedError_ = 0;
    closeRefused_ = false;
    saved_ = false;
    if (path.isEmpty())
        raiseError(ErrBadFileNameOrNumber);
    requireExactName(path);
    const QFileInfo target(path);
    // Only a regular file holds a period set: not a folder, a FIFO, a device.
    if (target.exists() && !target.isFile())
        raiseError(ErrPathFileAccess);
    // Gone since the dialog chose it, or a link that leads nowhere (a loop).
    const QString real = realTargetOf(path);
    if (real.isEmpty() || !QFileInfo(QFileInfo(real).absolutePath()).isDir())
        raiseError(ErrPathNotFound);
    // A file the operator may not write is refused, as opening it for
    // writing would be, and left as it is (a new file would only be renamed
    // over it). A file system that takes no writes at all says so as before.
    errno = 0;
    if (target.exists() && ::access(QFile::encodeName(path).constData(), W_OK) != 0) {
        if (errno == EROFS)
            raiseFileError(errno);
        raiseError(ErrPathFileAccess);
    }
    path_ = path;
    try {
        openDevice();
    } catch (const RuntimeError &) {
        path_.clear(); // not open: what follows fails as on a file never opened
        throw;
    }
}

void ScriptWriter::requireOpen() const
{
    if (path_.isEmpty())
        raiseError(ErrBadFileNameOrNumber);
}

void ScriptWriter::openDevice()
{
    const QString real = realTarget();
    // The new file gets the old one's mode, read here: a mode that cannot be
    // read or given is said, never guessed (a file left at 0000).
    struct stat old {};
    errno = 0;
    const bool replacing = ::stat(QFile::encodeName(real).constData(), &old) == 0;
    if (!replacing && errno != ENOENT)
        raiseLastFileError(EIO);
    const QString newFile = besideName(real);
    std::unique_ptr<QFileDevice> device = makeDevice(newFile, false);
    errno = 0;
    if (!device->open(QIODevice::WriteOnly | QIODevice::Unbuffered | QIODevice::NewOnly)) {
        const int error = errno == EACCES || errno == EPERM || errno == EROFS ? errno : newFileError(real);
        if (refusedButWritable(error, real)) {
            openInPlace();
            return;
        }
        raiseFileError(error);
    }
    newFile_ = newFile;
    errno = 0;
    if (replacing && ::fchmod(device->handle(), old.st_mode & 07777) != 0) {
        const int error = errno;
        removeCopy(newFile_);
        raiseError(error == EIO ? ErrDeviceIO : ErrPermissionDenied,
                   QStringLiteral("The new set cannot be given the permissions of %1 (%2), so nothing was written.")
                       .arg(QDir::toNativeSeparators(real), fileErrorText(error)));
    }
    device_ = std::move(device);
}

QString ScriptWriter::realTarget() const
{
    return realTargetOf(path_);
}

QString ScriptWriter::realTargetOf(const QString &path)
{
    // The file a symbolic link points to, which is what is written; a link
    // to a file not made yet names the file to make, link by link.
    QFileInfo target(path);
    if (target.exists())
        return target.canonicalFilePath();
    for (int links = 0; target.isSymLink(); ++links) {
        if (links == 40) // as many as the system follows: a loop
            return {};
        target = QFileInfo(target.symLinkTarget());
    }
    return target.absoluteFilePath();
}

void ScriptWriter::openInPlace()
{
    const QString real = realTarget();
    // The old contents, unless they are those that could not be written back.
    QByteArray contents = oldContents_ ? QByteArray() : readSetFile(real);
    std::unique_ptr<QFileDevice> device = makeDevice(real, true);
    errno = 0;
    // Read and write, so that opening truncates nothing; without O_CREAT,
    // which the kernel refuses for another user's file in a shared folder
    // where fs.protected_regular is set, even for a file that exists.
    if (!device->open(QIODevice::ReadWrite | QIODevice::Unbuffered | QIODevice::ExistingOnly))
        raiseLastFileError(EACCES);
    // A device Qt cannot seek (it takes a file for one when fstat fails)
    // would be cut at the wrong length.
    struct stat status {};
    if (::fstat(device->handle(), &status) != 0 || !S_ISREG(status.st_mode) || device->isSequential())
        raiseFileError(EIO);
    if (!oldContents_) {
        keepOldCopy(real, contents);
        oldContents_ = std::move(contents);
    }
    inPlace_ = true;
    fileWhole_ = false; // from the first byte written until it is synced
    inPlaceWritten_ = 0;
    device_ = std::move(device);
}

void ScriptWriter::keepOldCopy(const QString &real, const QByteArray &contents)
{
    // A crash or a power cut while the file is written in place leaves it
    // part new, part old: until the new set is synced, a synced copy of the
    // old one is kept where Periodix may always write, named by the file's
    // key, beside a note of the file it came from.
    const QString folder = oldSetsFolder();
    int error = 0;
    QString copy = folder + u'/' + copyName(real);
    const bool copied = makeFolder(folder, error) && writeSynced(copy, contents, O_EXCL, error);
    if (!copied || !noteOrigin(real, error)) {
        if (copied)
            removeCopy(copy);
        raiseError(error == ENOSPC || error == EDQUOT ? ErrDiskFull : ErrPermissionDenied,
                   QStringLiteral("The old set cannot be copied to %1 before the file is written in place, "
                                  "so nothing was written.")
                       .arg(QDir::toNativeSeparators(folder)));
    }
    oldCopy_ = copy;
}

bool ScriptWriter::restoreInPlace()
{
    // The old contents go back into the blocks they had, through a file of
    // their own: the device that failed may be the reason the save did.
    QFile file(realTarget());
    return file.open(QIODevice::ReadWrite | QIODevice::Unbuffered | QIODevice::ExistingOnly) &&
           file.write(*oldContents_) == oldContents_->size() && file.resize(oldContents_->size()) &&
           ::fsync(file.handle()) == 0;
}

void ScriptWriter::finishInPlace()
{
    errno = 0;
    // Cut at what was written: the device's own position is not to be
    // trusted with the set on the line.
    if (!device_->flush() || !device_->resize(inPlaceWritten_) || ::fsync(device_->handle()) != 0) {
        const int error = errno ? errno : EIO;
        failFile(error);
    }
    inPlace_ = false;
    fileWhole_ = true; // the new set: nothing to put back, and the copies go at the discard
    device_->close();
}

void ScriptWriter::failFile(int error)
{
    try {
        raiseFileError(error);
    } catch (const RuntimeError &e) {
        fail(e.number, e.description);
    }
}

void ScriptWriter::put(const QByteArray &bytes)
{
    errno = 0;
    // A write that takes fewer bytes than it was given failed, error or not.
    if (device_->write(bytes) != bytes.size()) {
        const int error = errno ? errno : ENOSPC;
        failFile(error);
    }
    inPlaceWritten_ += bytes.size();
}

void ScriptWriter::writeLine(int statement, const QString &text)
{
    requireOpen();
    const QByteArray line = encodeAnsi(text) + "\r\n";
    if (failedStatement_ == statement) {
        lines_.last() = line; // the failed statement runs again
    } else {
        if (failedStatement_ != 0)
            skippedError_ = failedError_; // the failed line was skipped
        lines_.append(line);
    }
    failedStatement_ = statement;
    try {
        if (!device_) {
            // After a failure: start afresh with the lines written whole.
            openDevice();
            put(written_);
        }
        put(line);
    } catch (const RuntimeError &e) {
        failedError_ = e.number;
        throw;
    }
    failedStatement_ = 0;
    written_ += line;
}

void ScriptWriter::close()
{
    requireOpen();
    if (failedStatement_ != 0) { // the close follows a failed line: it was skipped
        skippedError_ = failedError_;
        failedStatement_ = 0;
    }
    if (skippedError_ != 0 && !closeRefused_) {
        // Lines are missing: keep the old file, unless the operator runs the
        // close again. The line's own error may no longer hold (the disk has
        // room again), so the report says what happened here.
        closeRefused_ = true;
        fail(ErrPathFileAccess,
                   QStringLiteral("A line of the set was skipped, so the set is not saved and the old file is kept. "
                                  "Retry saves the whole set."));
    }
    if (skippedError_ != 0 || !device_) {
        // Lines are missing, or a close failed before: everything afresh.
        discard();
        openDevice();
        put(lines_.join());
    }
    finish();
    saved_ = true;
    discard();
    path_.clear();
}

void ScriptWriter::finish()
{
    if (inPlace_) {
        finishInPlace();
        return;
    }
    errno = 0;
    if (!device_->flush()) {
        const int error = errno ? errno : EIO;
        discard();
        raiseFileError(error);
    }
    int error = 0;
    switch (putInPlace(device_->handle(), newFile_, realTarget(), true, error)) {
    case Put::Done:
        newFile_.clear(); // it is the target now
        return;
    case Put::FileNotSynced:
        // What may not have reached the disk never replaces the old set.
        discard();
        raiseFileError(error);
    case Put::NotRenamed:
        replaceRefused(error);
        return;
    case Put::FolderNotSynced:
        // In place, but a power cut could still take it back: not saved.
        newFile_.clear();
        discard();
        raiseFileError(error);
    }
}

void ScriptWriter::replaceRefused(int error)
{
    // The whole set was written and synced beside the file; where the folder
    // only refuses to let it take the file's place, it goes into the file,
    // and the new file beside it, the new set's only whole copy meanwhile,
    // stays until the file holds the set.
    if (!refusedButWritable(error, realTarget())) {
        discard();
        raiseFileError(error);
    }
    newBeside_ = newFile_;
    newFile_.clear();
    device_.reset();
    openInPlace();
    put(lines_.join());
    finishInPlace();
}

} // namespace periodix
