#pragma once

#include <QString>

// Every failing platform call leaves a code here, on the calling thread, with
// the numbers the rest of the program knows from Windows.
namespace Platform {

enum ErrorCode : quint32 {
    ErrorSuccess = 0,
    ErrorFileNotFound = 2,
    ErrorPathNotFound = 3,
    ErrorAccessDenied = 5,
    ErrorInvalidData = 13,
    ErrorNotEnoughMemory = 8,
    ErrorLockViolation = 33,
    ErrorDiskFull = 112,
    ErrorInvalidParameter = 87,
    ErrorInsufficientBuffer = 122,
    ErrorInvalidName = 123,
    ErrorAlreadyExists = 183,
    ErrorFileTooLarge = 223,
    ErrorNoAssociation = 1155,
    ErrorCancelled = 1223,
    ErrorTimeout = 1460,
    ErrorServerUnavailable = 1722, // RPC_S_SERVER_UNAVAILABLE: the spooler is not running
    ErrorUnknownPort = 1796,
    ErrorInvalidPrinterName = 1801,
    ErrorPrinterDeleted = 1905,
    ErrorInvalidPrinterState = 1906, // the queue refuses jobs
};

quint32 lastError();
void setLastError(quint32 code);

} // namespace Platform

// "%1 (error %2)" with the calling thread's last error.
QString windowsErrorText(const QString &message);

namespace Platform {
// The last error in words, for messages that name no error number: the
// same text whatever the cause would mislead ("no such printer" when the
// scheduler is down).
QString lastErrorReason();
// "%1 (reason)" with the calling thread's last error.
QString withLastErrorReason(const QString &message);
} // namespace Platform
