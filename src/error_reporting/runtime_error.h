#pragma once

#include <QString>

namespace periodix {

// Runtime error numbers the program raises and reports.
enum ErrorNumber : qint32 {
    ErrOverflow = 6,
    ErrOutOfMemory = 7,
    ErrSubscriptOutOfRange = 9,
    ErrTypeMismatch = 13,
    ErrInternal = 51,
    ErrBadFileNameOrNumber = 52,
    ErrFileNotFound = 53,
    ErrDeviceIO = 57,
    ErrDiskFull = 61,
    ErrInputPastEndOfFile = 62,
    ErrPermissionDenied = 70,
    ErrPathFileAccess = 75,
    ErrPathNotFound = 76,
    ErrProcessorFault = 65535,
};

// A failing statement throws this; the statement guard of the running
// procedure catches it and shows the report.
struct RuntimeError {
    qint32 number;
    QString description;
};

// The runtime's own description of a standard error number.
QString describeError(qint32 number);

[[noreturn]] void raiseError(qint32 number);
[[noreturn]] void raiseError(qint32 number, const QString &description);

} // namespace periodix
