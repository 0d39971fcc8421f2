#include "clock/period_script_reader.h"

#include "clock/ansi_text.h"
#include "error_reporting/runtime_error.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace periodix {

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
    case EIO:
        raiseError(ErrDeviceIO);
    default:
        raiseError(ErrPathFileAccess);
    }
}

void ScriptReader::open(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        raiseError(ErrPathFileAccess);
    if (!path.isEmpty() && !info.exists() && !QFileInfo(info.absolutePath()).isDir())
        raiseError(ErrPathNotFound);
    QFile file(path);
    errno = 0;
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        raiseFileError(errno ? errno : ENOENT);
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

} // namespace periodix
