#include "settings_window/period_script_file.h"

#include "error_reporting/runtime_error.h"
#include "clock/ansi_text.h"

#include <QFile>
#include <QFileInfo>

#include <climits>
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

std::unique_ptr<QSaveFile> makeDevice(const QString &path)
{
    if (deviceFactory())
        return deviceFactory()(path);
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

// Where the open has fallen back to writing the target itself.
bool writesInPlace(const QFileDevice &device, const QString &target)
{
    struct stat opened {};
    struct stat named {};
    return ::fstat(device.handle(), &opened) == 0 && ::stat(QFile::encodeName(target).constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

[[noreturn]] void raiseLastFileError(int fallback)
{
    raiseFileError(errno ? errno : fallback);
}
} // namespace

// Abort in a report ends the program at once: the new file goes too.
ScriptWriter::ScriptWriter() : undoAtEnd_([this] { discard(); }) {}

ScriptWriter::~ScriptWriter()
{
    discard();
}

void ScriptWriter::discard()
{
    // An uncommitted QSaveFile removes its new file as it goes.
    saveFile_ = nullptr;
    device_.reset();
    shortName_.reset();
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
    if (path.isEmpty())
        raiseError(ErrBadFileNameOrNumber);
    const QFileInfo target(path);
    if (target.isDir())
        raiseError(ErrPathFileAccess);
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
    QString writeTo = path_;
    if (tooLongForSaveFile(path_)) {
        // A short name in the same folder, holding the old file's permissions,
        // that QSaveFile replaces and the close renames onto the target.
        const QFileInfo target(path_);
        const QString real = realTarget();
        auto reserved = std::make_unique<QTemporaryFile>(QFileInfo(real).absolutePath() + QStringLiteral("/.ptm-XXXXXX"));
        errno = 0;
        if (!reserved->open()) {
            if (target.exists() && (errno == EACCES || errno == EPERM)) {
                openDirect();
                return;
            }
            raiseLastFileError(EACCES);
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
    std::unique_ptr<QSaveFile> device = makeDevice(writeTo);
    device->setDirectWriteFallback(true);
    errno = 0;
    if (!device->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        raiseLastFileError(EACCES);
    inPlace_ = writesInPlace(*device, writeTo) && !shortName_;
    saveFile_ = device.get();
    device_ = std::move(device);
}

QString ScriptWriter::realTarget() const
{
    // The file a symbolic link points to, as QSaveFile writes it.
    const QFileInfo target(path_);
    return target.exists() ? target.canonicalFilePath() : target.absoluteFilePath();
}

void ScriptWriter::openDirect()
{
    auto direct = std::make_unique<QFile>(path_);
    errno = 0;
    if (!direct->open(QIODevice::WriteOnly | QIODevice::Unbuffered | QIODevice::Truncate))
        raiseLastFileError(EACCES);
    inPlace_ = true;
    saveFile_ = nullptr;
    device_ = std::move(direct);
}

void ScriptWriter::put(const QByteArray &bytes)
{
    errno = 0;
    // A write that takes fewer bytes than it was given failed, error or not.
    if (device_->write(bytes) != bytes.size()) {
        const int error = errno ? errno : ENOSPC;
        discard(); // a failed QSaveFile takes nothing more
        raiseFileError(error);
    }
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
    if (skippedError_ != 0 && !closeRefused_ && !inPlace_) {
        // Lines are missing: keep the old file, unless the operator runs the
        // close again.
        closeRefused_ = true;
        discard();
        raiseError(skippedError_);
    }
    if (skippedError_ != 0 || !device_) {
        // Lines are missing, or a close failed before: everything afresh.
        discard();
        openDevice();
        put(lines_.join());
    }
    finish();
    discard();
    path_.clear();
}

void ScriptWriter::finish()
{
    // Qt's commit does not report a failed sync, so sync first: a file that
    // may not have reached the disk must not replace the old one.
    errno = 0;
    if (!device_->flush() || ::fsync(device_->handle()) != 0) {
        const int error = errno ? errno : EIO;
        discard();
        raiseFileError(error);
    }
    errno = 0;
    if (saveFile_ && !saveFile_->commit()) {
        const int error = errno ? errno : EIO;
        discard();
        raiseFileError(error);
    }
    if (!saveFile_)
        device_->close();
    if (shortName_) {
        errno = 0;
        if (::rename(QFile::encodeName(shortName_->fileName()).constData(), QFile::encodeName(realTarget()).constData()) !=
            0) {
            const int error = errno ? errno : EIO;
            discard(); // removes the short name
            raiseFileError(error);
        }
        shortName_->setAutoRemove(false); // it is the target now
    }
}

} // namespace periodix
