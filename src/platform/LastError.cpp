#include "platform/LastError.h"

namespace Platform {

namespace {
thread_local quint32 t_lastError = ErrorSuccess;
}

quint32 lastError()
{
    return t_lastError;
}

void setLastError(quint32 code)
{
    t_lastError = code;
}

} // namespace Platform

QString windowsErrorText(const QString &message)
{
    return QStringLiteral("%1 (error %2)").arg(message).arg(Platform::lastError());
}

namespace Platform {

QString lastErrorReason()
{
    switch (t_lastError) {
    case ErrorFileNotFound: return QStringLiteral("the file was not found");
    case ErrorPathNotFound: return QStringLiteral("the folder was not found");
    case ErrorAccessDenied: return QStringLiteral("access was denied");
    case ErrorLockViolation: return QStringLiteral("another program holds the settings file");
    case ErrorDiskFull: return QStringLiteral("there is not enough space on the disk");
    case ErrorInvalidPrinterName: return QStringLiteral("no such printer is installed");
    case ErrorServerUnavailable: return QStringLiteral("the print service is not answering");
    case ErrorPrinterDeleted: return QStringLiteral("the printer was deleted");
    case ErrorTimeout: return QStringLiteral("the operation timed out");
    case ErrorInvalidPrinterState: return QStringLiteral("the printer is not accepting jobs");
    default: return QStringLiteral("error %1").arg(t_lastError);
    }
}

QString withLastErrorReason(const QString &message)
{
    return QStringLiteral("%1 (%2)").arg(message, lastErrorReason());
}

} // namespace Platform
