#include "files/period_script_reader.h"

#include "clock/ansi_text.h"
#include "error_reporting/runtime_error.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    openBytes(readSetFile(path));
}

namespace {
int openRegularFile(const QString &path, int flags)
{
    // Without O_NONBLOCK, opening a FIFO waits for a writer; only a regular
    // file is read or written once its type is known.
    errno = 0;
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        raiseFileError(errno ? errno : ENOENT);
    struct stat status {};
    const bool regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    const int error = errno;
    if (!regular || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        if (!regular && error == 0) // a FIFO, a device, a socket: as a folder is
            raiseError(ErrPathFileAccess);
        raiseFileError(error ? error : EIO);
    }
    return fd;
}

// Reads to the end, but no more than one byte past the most; false on a
// failed read, errno telling why.
bool readAtMost(int fd, qint64 most, QByteArray &bytes)
{
    // One byte more than the most, to tell a file that is too large.
    bytes.clear();
    char buffer[65536];
    errno = 0;
    while (bytes.size() <= most) {
        const ssize_t got = ::read(fd, buffer, size_t(std::min<qint64>(sizeof buffer, most + 1 - bytes.size())));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        bytes.append(buffer, got);
    }
    return true;
}
} // namespace

QByteArray readSetFile(const QString &path)
{
    const int fd = openRegularFile(path, O_RDONLY);
    QByteArray bytes;
    const bool read = readAtMost(fd, LargestSetBytes, bytes);
    const int error = errno;
    ::close(fd);
    if (!read)
        raiseFileError(error ? error : EIO);
    if (bytes.size() > LargestSetBytes) // no period set the clock could take
        raiseError(ErrPathFileAccess);
    return bytes;
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
