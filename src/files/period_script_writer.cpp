#include "files/period_script_writer.h"

#include "error_reporting/runtime_error.h"
#include "clock/ansi_text.h"
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
    if (inPlace)
        return std::make_unique<QFile>(path);
    return std::make_unique<QSaveFile>(path);
}
} // namespace

void ScriptWriter::setDeviceFactory(DeviceFactory factory)
{
    deviceFactory() = std::move(factory);
}

namespace {
// QSaveFile names its temporary file after the target and seven characters
// more; a name near the longest allowed has no room for that.
bool tooLongForSaveFile(const QString &path)
{
    const qsizetype length = QFile::encodeName(QFileInfo(path).fileName()).size();
    return length + 7 > NAME_MAX && length <= NAME_MAX;
}

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

// Writes a new file in the folder, named by the first n from 1 whose name is
// free, and syncs it and the folder; its path, or empty with errno set.
QString writeSyncedCopy(const QString &folder, const QByteArray &bytes, const std::function<QString(int)> &name)
{
    for (int n = 1; n < 1000; ++n) {
        const QString path = folder + u'/' + name(n);
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return {};
        const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size() && ::fsync(fd) == 0;
        const int error = errno;
        ::close(fd);
        if (written && syncFolder(folder))
            return path;
        ::unlink(QFile::encodeName(path).constData());
        errno = written ? EIO : error;
        return {};
    }
    errno = EEXIST;
    return {};
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
    bool restored = true;
    if (inPlace_ && device_)
        restored = restoreInPlace();
    inPlace_ = false;
    // Old contents that could not be written back stay for the next try.
    if (restored)
        forgetOldContents();
    // An uncommitted QSaveFile removes its new file as it goes.
    saveFile_ = nullptr;
    device_.reset();
    shortName_.reset();
    removeCopy(newBeside_);
    return restored;
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
    // A copy of an old set that could not be written back stays on disk.
    oldContents_.reset();
    oldCopy_.clear();
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
    const QFileInfo target(path);
    // Only a regular file holds a period set: not a folder, a FIFO, a device.
    if (target.exists() && !target.isFile())
        raiseError(ErrPathFileAccess);
    // Gone since the dialog chose it, or a link that leads nowhere (a loop).
    const QString real = realTargetOf(path);
    if (real.isEmpty() || !QFileInfo(QFileInfo(real).absolutePath()).isDir())
        raiseError(ErrPathNotFound);
    // A file the operator may not write is refused, as opening it for
    // writing would be, and left as it is (QSaveFile would only rename over
    // it). A file system that takes no writes at all says so as before.
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
    const QFileInfo target(real);
    QString writeTo = real;
    if (tooLongForSaveFile(real)) {
        // A short name in the same folder, holding the old file's permissions,
        // that QSaveFile replaces and the close renames onto the target.
        auto reserved = std::make_unique<QTemporaryFile>(target.absolutePath() + QStringLiteral("/.ptm-XXXXXX"));
        if (!reserved->open()) {
            const int error = newFileError(real);
            if (refusedButWritable(error, real)) {
                openInPlace();
                return;
            }
            raiseFileError(error);
        }
        const mode_t mask = ::umask(0);
        ::umask(mask);
        const QFileDevice::Permissions kept = target.exists() ? QFile::permissions(real) : QFileDevice::Permissions();
        if (target.exists() ? !reserved->setPermissions(kept) : ::fchmod(reserved->handle(), 0666 & ~mask) != 0)
            raiseLastFileError(EACCES);
        reserved->close();
        writeTo = reserved->fileName();
        shortName_ = std::move(reserved);
    }
    std::unique_ptr<QFileDevice> device = makeDevice(writeTo, false);
    auto *saveFile = qobject_cast<QSaveFile *>(device.get());
    Q_ASSERT(saveFile);
    // Qt's own fallback would truncate the old file as it opens it.
    saveFile->setDirectWriteFallback(false);
    errno = 0;
    if (!device->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        const int error = errno == EACCES || errno == EPERM || errno == EROFS ? errno : newFileError(real);
        if (!shortName_ && refusedButWritable(error, real)) {
            openInPlace();
            return;
        }
        raiseFileError(error);
    }
    saveFile_ = saveFile;
    device_ = std::move(device);
}

QString ScriptWriter::realTarget() const
{
    return realTargetOf(path_);
}

QString ScriptWriter::realTargetOf(const QString &path)
{
    // The file a symbolic link points to, as QSaveFile writes it; a link to
    // a file not made yet names the file to make, link by link.
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
    inPlaceWritten_ = 0;
    saveFile_ = nullptr;
    device_ = std::move(device);
}

void ScriptWriter::keepOldCopy(const QString &real, const QByteArray &contents)
{
    // A crash or a power cut while the file is written in place leaves it
    // part new, part old: until the new set is synced, a synced copy of the
    // old one is kept where Periodix may always write.
    const QString folder = stateFolder() + QStringLiteral("/old-sets");
    const QString name = QFileInfo(real).fileName();
    QDir().mkpath(folder);
    oldCopy_ = writeSyncedCopy(folder, contents, [&](int n) { return QStringLiteral("%1-%2").arg(n).arg(name); });
    if (oldCopy_.isEmpty()) {
        raiseError(errno == ENOSPC || errno == EDQUOT ? ErrDiskFull : ErrPermissionDenied,
                   QStringLiteral("The old set cannot be copied to %1 before the file is written in place, "
                                  "so nothing was written.")
                       .arg(QDir::toNativeSeparators(folder)));
    }
}

bool ScriptWriter::restoreInPlace()
{
    // The old contents go back into the blocks they had, through a file of
    // their own: the device that failed may be the reason the save did.
    inPlace_ = false;
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
    inPlace_ = false; // complete: nothing to put back
    device_->close();
    forgetOldContents();
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
        failFile(error); // a failed QSaveFile takes nothing more
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
    // Qt's commit does not report a failed sync, so sync first: a file that
    // may not have reached the disk must not replace the old one.
    errno = 0;
    if (!device_->flush() || ::fsync(device_->handle()) != 0) {
        const int error = errno ? errno : EIO;
        discard();
        raiseFileError(error);
    }
    errno = 0;
    if (!saveFile_->commit()) {
        const int error = errno ? errno : EIO;
        discard();
        replaceRefused(error);
        return;
    }
    if (shortName_) {
        errno = 0;
        if (::rename(QFile::encodeName(shortName_->fileName()).constData(), QFile::encodeName(realTarget()).constData()) !=
            0) {
            const int error = errno ? errno : EIO;
            discard(); // removes the short name
            replaceRefused(error);
            return;
        }
        shortName_->setAutoRemove(false); // it is the target now
    }
}

void ScriptWriter::replaceRefused(int error)
{
    // The whole set was written and synced beside the file; where the folder
    // only refuses to let it take the file's place, it goes into the file.
    // QSaveFile has removed its new file: another, kept until the set is in
    // place, is the new set's only whole copy meanwhile.
    if (!refusedButWritable(error, realTarget()))
        raiseFileError(error);
    const QByteArray set = lines_.join();
    const QFileInfo target(realTarget());
    newBeside_ = writeSyncedCopy(target.absolutePath(), set,
                                 [&](int n) { return QStringLiteral("%1.new-%2").arg(target.fileName()).arg(n); });
    if (newBeside_.isEmpty())
        raiseLastFileError(EIO);
    openInPlace();
    put(set);
    finishInPlace();
    removeCopy(newBeside_);
}

} // namespace periodix
