#include "settings_window/period_script_file.h"

#include "error_reporting/runtime_error.h"
#include "settings_window/ansi_text.h"

#include <QFile>
#include <QFileInfo>

#include <climits>
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

void raiseFileError(int systemError)
{
    switch (systemError) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        raiseError(ErrDiskFull);
    case EACCES:
    case EPERM:
    case EROFS:
        raiseError(ErrPermissionDenied);
    case ENOENT:
        raiseError(ErrFileNotFound);
    case ENOTDIR:
        raiseError(ErrPathNotFound);
    case ENAMETOOLONG:
        raiseError(ErrBadFileNameOrNumber);
    default:
        raiseError(ErrPathFileAccess);
    }
}

void ScriptReader::open(const QString &path)
{
    QFile file(path);
    errno = 0;
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        raiseFileError(errno ? errno : ENOENT);
    if (QFileInfo(path).isDir())
        raiseError(ErrPathFileAccess);
    errno = 0;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        raiseFileError(errno ? errno : EIO);
    openBytes(bytes);
}

void ScriptReader::openBytes(const QByteArray &bytes)
{
    bytes_ = bytes;
    position_ = 0;
    open_ = true;
}

bool ScriptReader::atEnd() const
{
    if (!open_)
        raiseError(ErrBadFileNameOrNumber);
    return position_ >= bytes_.size();
}

QString ScriptReader::readLine()
{
    if (atEnd())
        raiseError(ErrInputPastEndOfFile);
    qsizetype end = bytes_.indexOf('\r', position_);
    if (end < 0)
        end = bytes_.size();
    const QString line = decodeAnsi(bytes_.mid(position_, end - position_));
    position_ = end;
    if (position_ < bytes_.size()) { // the CR, and the LF after it
        ++position_;
        if (position_ < bytes_.size() && bytes_[position_] == '\n')
            ++position_;
    }
    return line;
}

void ScriptReader::close()
{
    bytes_.clear();
    position_ = 0;
    open_ = false;
}

void ScriptWriter::setDeviceFactory(DeviceFactory factory)
{
    deviceFactory() = std::move(factory);
}

// Abort in a report ends the program at once: the temporary file goes too.
ScriptWriter::ScriptWriter() : undoAtEnd_([this] { discard(); }) {}

ScriptWriter::~ScriptWriter()
{
    discard();
}

void ScriptWriter::discard()
{
    // An uncommitted QSaveFile removes its temporary file as it goes.
    saveFile_ = nullptr;
    device_.reset();
}

void ScriptWriter::open(const QString &path)
{
    discard();
    path_.clear();
    content_.clear();
    lineLost_ = false;
    failedLine_ = QByteArray();
    failedError_ = 0;
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
    openDevice();
}

void ScriptWriter::openDevice()
{
    std::unique_ptr<QSaveFile> device = makeDevice(path_);
    device->setDirectWriteFallback(true);
    errno = 0;
    if (device->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        saveFile_ = device.get();
        device_ = std::move(device);
        return;
    }
    const int error = errno ? errno : EACCES;
    if (!noRoomForTemporary(error))
        raiseFileError(error);
    openDirect();
}

bool ScriptWriter::noRoomForTemporary(int error) const
{
    // The temporary file's name is the target's and seven characters more: a
    // name near the longest allowed has no room for it.
    return error == ENAMETOOLONG && QFile::encodeName(QFileInfo(path_).fileName()).size() <= NAME_MAX;
}

void ScriptWriter::openDirect()
{
    auto direct = std::make_unique<QFile>(path_);
    errno = 0;
    if (!direct->open(QIODevice::WriteOnly | QIODevice::Unbuffered | QIODevice::Truncate))
        raiseFileError(errno ? errno : EACCES);
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

void ScriptWriter::writeLine(const QString &text)
{
    if (path_.isEmpty())
        raiseError(ErrBadFileNameOrNumber);
    const QByteArray line = encodeAnsi(text) + "\r\n";
    if (!failedLine_.isNull() && line != failedLine_)
        lineLost_ = true; // the failed line was skipped
    failedLine_ = line;
    try {
        if (!device_) {
            // After a failure: start afresh with the lines written whole.
            openDevice();
            put(content_);
        }
        put(line);
    } catch (const RuntimeError &e) {
        failedError_ = e.number;
        throw;
    }
    failedLine_ = QByteArray();
    content_ += line;
}

void ScriptWriter::close()
{
    if (path_.isEmpty())
        raiseError(ErrBadFileNameOrNumber);
    if (lineLost_ || !failedLine_.isNull()) {
        // Lines are missing: keep the old file.
        discard();
        raiseError(failedError_);
    }
    if (!device_)
        raiseError(ErrBadFileNameOrNumber); // a close that already failed
    errno = 0;
    const bool toTemporary = saveFile_ != nullptr;
    bool done = toTemporary ? saveFile_->commit() : device_->flush() && ::fsync(device_->handle()) == 0;
    int error = errno;
    discard();
    if (!done && toTemporary && noRoomForTemporary(error)) {
        // Put in place by name only at the end: write the file directly.
        openDirect();
        put(content_);
        errno = 0;
        done = device_->flush() && ::fsync(device_->handle()) == 0;
        error = errno;
        discard();
    }
    path_.clear();
    if (!done)
        raiseFileError(error ? error : EIO);
}

} // namespace periodix
