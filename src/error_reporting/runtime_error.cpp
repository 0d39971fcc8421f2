#include "error_reporting/runtime_error.h"

namespace periodix {

QString describeError(qint32 number)
{
    switch (number) {
    case ErrOverflow: return QStringLiteral("Overflow");
    case ErrOutOfMemory: return QStringLiteral("Out of memory");
    case ErrInternal: return QStringLiteral("Internal error");
    case ErrSubscriptOutOfRange: return QStringLiteral("Subscript out of range");
    case ErrTypeMismatch: return QStringLiteral("Type mismatch");
    case ErrBadFileNameOrNumber: return QStringLiteral("Bad file name or number");
    case ErrFileNotFound: return QStringLiteral("File not found");
    case ErrDeviceIO: return QStringLiteral("Device I/O error");
    case ErrDiskFull: return QStringLiteral("Disk full");
    case ErrInputPastEndOfFile: return QStringLiteral("Input past end of file");
    case ErrPermissionDenied: return QStringLiteral("Permission denied");
    case ErrPathFileAccess: return QStringLiteral("Path/File access error");
    case ErrPathNotFound: return QStringLiteral("Path not found");
    default: return QStringLiteral("Application-defined or object-defined error");
    }
}

void raiseError(qint32 number)
{
    throw RuntimeError{number, describeError(number)};
}

void raiseError(qint32 number, const QString &description)
{
    throw RuntimeError{number, description};
}

} // namespace periodix
