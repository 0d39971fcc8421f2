#include "files/period_script_reader.h"

#include "clock/ansi_text.h"
#include "error_reporting/runtime_error.h"
#include "files/regular_file.h"

#include <QDir>
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
    if (path.isEmpty())
        raiseFileError(ENOENT);
    requireExactName(path);
    openBytes(readSetFile(path));
}

QByteArray readSetFile(const QString &path)
{
    QByteArray bytes;
    int error = 0;
    if (readRegularFile(path, LargestSetBytes, bytes, error))
        return bytes;
    // A FIFO, a device, a socket, and a file larger than any set the clock
    // could take: as a folder is.
    if (error == NotRegularFile || error == FileTooLarge)
        raiseError(ErrPathFileAccess);
    raiseFileError(error);
}

void requireExactName(const QString &path)
{
    if (!nameIsExact(path)) {
        raiseError(ErrBadFileNameOrNumber,
                   QStringLiteral("The name of %1 is not valid UTF-8, so Periodix cannot name that file exactly: "
                                  "rename it and try again.")
                       .arg(QDir::toNativeSeparators(path)));
    }
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
