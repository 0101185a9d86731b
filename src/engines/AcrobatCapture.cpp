#include "engines/AcrobatCapture.h"

#include "cache/CacheLocation.h"
#include "cache/CapturePort.h"
#include "cache/PortHelper.h"
#include "engines/AcrobatPrinting.h"
#include "engines/Dispatch.h"
#include "platform/CapturePrinter.h"
#include "platform/ChildProcess.h"
#include "platform/FileLock.h"
#include "platform/LastError.h"
#include "platform/LpOptions.h"
#include "platform/Spooler.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QScopeGuard>
#include <QThread>

#include <unistd.h>

using namespace Platform;

namespace {

constexpr char kPrinterPrefix[] = "Quorvalent_Dunmarrow_Acrobat_Capture_";
constexpr int kStableRounds = 10;

QMutex s_captureLock;
int s_noJobLimitMs = 30000;
int s_totalLimitMs = 600000;
int s_pollMs = 200;

QString temporaryPrinterName()
{
    return QLatin1String(kPrinterPrefix) + processStamp();
}

// Temporary printers whose capture was killed: made before the system
// started, or by a process that is gone (or whose number now belongs to a
// later process). Their per-user defaults go with them.
void removeStaleCapturePrinters()
{
    QList<PrinterPort> printers;
    if (!enumPrinterPorts(&printers))
        return;
    const qint64 bootedAt = QDateTime::currentSecsSinceEpoch() - qint64(millisecondsSinceBoot() / 1000);
    for (const PrinterPort &printer : printers) {
        if (!printer.printerName.startsWith(QLatin1String(kPrinterPrefix)))
            continue;
        bool isStamp = false;
        const bool living =
            isStampOfLivingProcess(printer.printerName.mid(int(sizeof kPrinterPrefix) - 1), &isStamp);
        if (!isStamp)
            continue;
        if (printer.changedAt < bootedAt - 1 || !living) {
            purgePrinter(printer.printerName);
            deletePrinter(printer.printerName);
            LpOptionsLines left;
            if (readDestinationLines(printer.printerName, &left) && !left.lines.isEmpty())
                restoreDestinationLines(printer.printerName, LpOptionsLines{true, {}});
        }
    }
}

bool addPort(const QString &port, QString *error)
{
    // What the elevated helper would refuse is not added here either.
    if (!PortHelper::isSafeCapturePort(port, cacheDirectory(), PortHelper::invokingUserId())) {
        *error = QStringLiteral("The Acrobat capture port is not inside the cache directory");
        return false;
    }
    removeStaleCapturePorts(cacheDirectory());
    if (xcvPortCommand(QStringLiteral("AddPort"), port))
        return true;
    return runElevatedPortHelper(port, error);
}

// The target's default settings become the temporary printer's (the
// user's own defaults: the scheduler's came with the driver description).
// True when they were set, and saved says how to take them away again.
bool copyDefaultSettings(PrinterHandle &target, PrinterHandle &temporary, PrinterInfo9 *saved)
{
    DeviceMode devMode;
    if (documentPropertiesRead(target, &devMode) != IDOK)
        return false;
    devMode.dmDeviceName = temporary.name().left(31);
    return documentPropertiesMerge(temporary, &devMode) == IDOK && getPrinterInfo9(temporary, saved)
        && setPrinterInfo9(temporary, devMode);
}

void removeTemporaryPrinter(const QString &name)
{
    purgePrinter(name);
    deletePrinter(name);
    for (int check = 0; check < 50; ++check) {
        PrinterHandle gone;
        if (!openPrinter(name, &gone))
            return;
        QThread::msleep(100);
    }
}

// The data is complete when it has stayed the same, unlocked, with no job
// left in the queue, for ten looks in a row. The queue is the capture's
// own: any job of it that failed, or a second job, spoils the data.
bool waitForCapture(const QString &printer, const QString &targetPath, QString *error)
{
    const auto fail = [error](const QString &text) {
        *error = text;
        return false;
    };
    const QString invalid = QStringLiteral("Acrobat did not create a valid PRN cache");
    QElapsedTimer waited;
    waited.start();
    bool seenAnything = false;
    qint64 previousSize = -1;
    int stable = 0;
    while (waited.elapsed() < s_totalLimitMs) {
        QThread::msleep(s_pollMs);
        const qint64 size = QFileInfo(targetPath).size();
        QList<PrinterJob> jobs;
        printerJobs(printer, &jobs); // not known: no jobs
        const auto inState = [&jobs](PrinterJob::State state) {
            return std::any_of(jobs.cbegin(), jobs.cend(),
                               [state](const PrinterJob &job) { return job.state == state; });
        };
        const bool active = inState(PrinterJob::State::Active);
        if (inState(PrinterJob::State::Failed) || jobs.size() > 1)
            return fail(invalid);
        if (size == 0 && !active) {
            if (!jobs.isEmpty())
                return fail(invalid); // its one job ended having written nothing
            if (!seenAnything && waited.elapsed() >= s_noJobLimitMs)
                return fail(QStringLiteral("Acrobat did not submit a job to the temporary capture printer"));
            stable = 0;
            previousSize = size;
            continue;
        }
        seenAnything = true;
        FileLock writer(targetPath);
        const bool unlocked = size > 0 && writer.tryLock();
        writer.unlock();
        stable = (!unlocked || active || size != previousSize) ? 0 : stable + 1;
        previousSize = size;
        if (stable >= kStableRounds)
            return true;
    }
    return fail(QStringLiteral("Timed out while waiting for Acrobat to create the print cache"));
}

// From the temporary printer on. The queue is made before its port is
// listed: a listed port that no queue uses is stale to every other capture,
// which may remove it.
bool captureThroughPrinter(const QString &pdfPath, const QString &targetPath,
                           const PrintSettings &settings, int *pageCount, QString *error)
{
    PrinterHandle target;
    if (!openPrinter(settings.printerName, &target)) {
        *error = windowsErrorText(QStringLiteral("Unable to read the target printer: ") + settings.printerName);
        return false;
    }
    const QString name = temporaryPrinterName();
    if (!addCapturePrinter(name, targetPath, target)) {
        *error = windowsErrorText(QStringLiteral("Unable to create the temporary Acrobat capture printer. "
                                                 "Confirm administrator access and try again"));
        return false;
    }
    PrinterHandle temporary;
    PrinterInfo9 savedDefaults;
    bool defaultsSet = false;
    const auto removePrinter = qScopeGuard([&] {
        if (defaultsSet)
            restorePrinterInfo9(temporary, savedDefaults);
        closePrinter(&temporary);
        removeTemporaryPrinter(name);
    });
    if (openPrinter(name, &temporary))
        defaultsSet = copyDefaultSettings(target, temporary, &savedDefaults);
    closePrinter(&target);

    if (!addPort(targetPath, error))
        return false;
    // A failed delete is left to the next elevated add, which removes ports
    // no printer uses.
    const auto deletePort = qScopeGuard([&] { xcvPortCommand(QStringLiteral("DeletePort"), targetPath); });

    int pages = 0;
    QString message;
    if (!printPdfWithAcrobat(pdfPath, name, settings.duplex, settings.shortEdge, settings.color,
                             settings.paperSize, 1, settings.useDriverSettings, &pages, &message)) {
        *error = QStringLiteral("Acrobat capture printing failed: ") + message;
        return false;
    }
    if (!waitForCapture(name, targetPath, error))
        return false;
    if (QFileInfo(targetPath).size() < 1) {
        *error = QStringLiteral("Acrobat did not create a valid PRN cache");
        return false;
    }
    *pageCount = std::max(1, pages);
    return true;
}

} // namespace

bool captureWithAcrobat(const QString &pdfPath, const QString &targetPath,
                        const PrintSettings &settings, int *pageCount, QString *error)
{
    *pageCount = 0;
    error->clear();
    if (!QFileInfo(pdfPath).isFile()) {
        *error = QStringLiteral("The PDF file to cache does not exist");
        return false;
    }
    if (!isAcrobatInstalled()) {
        *error = QStringLiteral("No usable Adobe Acrobat COM component was found");
        return false;
    }
    QMutexLocker captureLock(&s_captureLock);

    // The port's file exists, empty, before the port does.
    QFile::remove(targetPath);
    QFile placeholder(targetPath);
    if (!placeholder.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("Unable to create the Acrobat capture-cache placeholder file");
        return false;
    }
    placeholder.close();

    removeStaleCapturePrinters();
    return captureThroughPrinter(pdfPath, targetPath, settings, pageCount, error);
}

void setCaptureTimeLimits(int noJobMs, int totalMs, int pollMs)
{
    s_noJobLimitMs = noJobMs;
    s_totalLimitMs = totalMs;
    s_pollMs = pollMs;
}
