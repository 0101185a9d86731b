#include "cache/CapturePort.h"

#include "cache/PortHelper.h"
#include "platform/CapturePorts.h"
#include "platform/CapturePrinter.h"
#include "platform/LastError.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

#include <unistd.h>

using namespace Platform;

namespace {

QString s_elevator = QStringLiteral("pkexec");
QString s_program;
int s_elevationTimeLimitMs = 30000;

// pkexec's own exit codes: the prompt was dismissed, or the user may not.
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorized = 127;

} // namespace

bool xcvPortCommand(const QString &command, const QString &portName)
{
    quint32 status = ErrorSuccess;
    // The call itself failing (no right to change the ports) leaves the
    // port as it was: not added, not deleted.
    if (!xcvData(command, portName, PortHelper::invokingUserId(), &status))
        return false;
    if (status == ErrorSuccess)
        return true;
    if (command == QLatin1String("AddPort"))
        return status == ErrorAlreadyExists;
    return status == ErrorInvalidName || status == ErrorUnknownPort
        || status == ErrorFileNotFound || status == ErrorPathNotFound;
}

bool runElevatedPortHelper(const QString &portName, QString *error)
{
    const QString program = s_program.isEmpty() ? QCoreApplication::applicationFilePath() : s_program;
    QProcess helper;
    helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    helper.start(s_elevator, {QDir::toNativeSeparators(program), QLatin1String(PortHelper::kSwitch),
                              QStringLiteral("add"), PortHelper::encodePortName(portName)});
    int exitCode = -1;
    if (!helper.waitForStarted(s_elevationTimeLimitMs)) {
        setLastError(ErrorFileNotFound);
    } else if (!helper.waitForFinished(s_elevationTimeLimitMs)) {
        // An elevated process is not ours to kill; it ends on its own.
        setLastError(ErrorTimeout);
    } else {
        exitCode = helper.exitStatus() == QProcess::NormalExit ? helper.exitCode() : -1;
        if (exitCode == 0)
            return true;
        setLastError(exitCode == kPkexecDismissed ? ErrorCancelled
                     : exitCode == kPkexecNotAuthorized ? ErrorAccessDenied
                                                        : ErrorSuccess);
    }
    if (!error)
        return false;
    if (lastError() == ErrorCancelled) {
        *error = QStringLiteral("Administrator approval was cancelled, so the Acrobat capture port "
                                "could not be created");
    } else if (lastError() == ErrorSuccess) {
        // It ran and refused: its exit code says why.
        *error = QStringLiteral("Unable to start the native print-port helper (exit code %1)").arg(exitCode);
    } else {
        *error = windowsErrorText(QStringLiteral("Unable to start the native print-port helper"));
    }
    return false;
}

void removeStaleCapturePorts(const QString &cacheRoot)
{
    QList<CapturePort> ports;
    if (!enumCapturePorts(&ports))
        return;
    QList<PrinterPort> printers;
    bool printersListed = false;
    for (const CapturePort &port : ports) {
        if (!PortHelper::isCapturePortPath(port.path, cacheRoot))
            continue;
        if (!printersListed && !(printersListed = enumPrinterPorts(&printers)))
            return;
        const bool used = std::any_of(printers.cbegin(), printers.cend(), [&](const PrinterPort &printer) {
            return printer.port == port.path;
        });
        if (!used)
            xcvPortCommand(QStringLiteral("DeletePort"), port.path);
    }
}

void setElevation(const QString &elevator, const QString &program, int timeLimitMs)
{
    s_elevator = elevator;
    s_program = program;
    s_elevationTimeLimitMs = timeLimitMs;
}
