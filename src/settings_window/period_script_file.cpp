#include "settings_window/period_script_file.h"

#include "error_reporting/runtime_error.h"
#include "settings_window/ansi_text.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace periodix {

namespace {
ScriptWriter::DeviceFactory &deviceFactory()
{
    static ScriptWriter::DeviceFactory factory;
    return factory;
}

std::unique_ptr<QFile> makeDevice(const QString &path)
{
    if (deviceFactory())
        return deviceFactory()(path);
    return std::make_unique<QFile>(path);
}

QString temporaryNameFor(const QString &target)
{
    static int counter = 0;
    const QFileInfo info(target);
    return info.dir().filePath(QStringLiteral(".%1.%2-%3.tmp").arg(info.fileName()).arg(::getpid()).arg(++counter));
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

ScriptWriter::~ScriptWriter()
{
    discard();
}

void ScriptWriter::discard()
{
    if (device_) {
        device_->close();
        device_.reset();
    }
    if (!temporary_.isEmpty()) {
        QFile::remove(temporary_);
        temporary_.clear();
    }
}

void ScriptWriter::open(const QString &path)
{
    discard();
    if (path.isEmpty())
        raiseError(ErrBadFileNameOrNumber);
    if (QFileInfo(path).isDir())
        raiseError(ErrPathFileAccess);
    const QString temporary = temporaryNameFor(path);
    std::unique_ptr<QFile> device = makeDevice(temporary);
    errno = 0;
    if (!device->open(QIODevice::WriteOnly | QIODevice::Unbuffered | QIODevice::NewOnly))
        raiseFileError(errno ? errno : EACCES);
    target_ = path;
    temporary_ = temporary;
    device_ = std::move(device);
    written_ = 0;
    lineLost_ = false;
    failedLine_.clear();
    failedError_ = 0;
}

void ScriptWriter::writeLine(const QString &text)
{
    if (!device_)
        raiseError(ErrBadFileNameOrNumber);
    const QByteArray line = encodeAnsi(text) + "\r\n";
    if (!failedLine_.isNull() && line != failedLine_)
        lineLost_ = true; // the failed line was skipped
    failedLine_ = QByteArray();
    errno = 0;
    // A write that takes fewer bytes than it was given failed, error or not.
    if (device_->write(line) != line.size()) {
        failedError_ = errno ? errno : ENOSPC;
        failedLine_ = line;
        device_->resize(written_);
        device_->seek(written_);
        raiseFileError(failedError_);
    }
    written_ += line.size();
}

void ScriptWriter::close()
{
    if (!device_)
        raiseError(ErrBadFileNameOrNumber);
    if (lineLost_ || !failedLine_.isNull()) {
        // Lines are missing: keep the old file.
        const int error = failedError_;
        discard();
        raiseFileError(error);
    }
    errno = 0;
    if (!device_->flush() || ::fsync(device_->handle()) != 0)
        raiseFileError(errno ? errno : EIO);
    device_->close();
    device_.reset();
    // The new file keeps the permissions of the one it replaces.
    if (QFileInfo::exists(target_))
        QFile::setPermissions(temporary_, QFile::permissions(target_));
    errno = 0;
    if (std::rename(QFile::encodeName(temporary_).constData(), QFile::encodeName(target_).constData()) != 0) {
        const int error = errno;
        discard();
        raiseFileError(error);
    }
    temporary_.clear();
}

} // namespace periodix
