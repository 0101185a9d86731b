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
    return QStringLiteral("%1 (Windows error %2)").arg(message).arg(Platform::lastError());
}
