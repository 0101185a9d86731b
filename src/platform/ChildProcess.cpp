#include "platform/ChildProcess.h"

#include "platform/LastError.h"

#include <QProcess>

#include <csignal>
#include <unistd.h>

namespace Platform {

bool runToFile(const QString &program, const QStringList &arguments, const QString &outputFile,
               int timeLimitMs, int *exitCode)
{
    *exitCode = -1;
    QProcess process;
    process.setStandardOutputFile(outputFile);
    process.setStandardErrorFile(QProcess::nullDevice());
    // Its own process group, so the filters it starts go with it.
    process.setChildProcessModifier([] { ::setsid(); });
    process.start(program, arguments);
    if (!process.waitForStarted()) {
        setLastError(ErrorFileNotFound);
        return false;
    }
    if (!process.waitForFinished(timeLimitMs)) {
        ::kill(-pid_t(process.processId()), SIGKILL);
        process.waitForFinished();
        setLastError(ErrorTimeout);
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit) {
        setLastError(ErrorInvalidData);
        return false;
    }
    *exitCode = process.exitCode();
    return true;
}

} // namespace Platform
