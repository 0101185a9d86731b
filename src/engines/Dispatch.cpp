#include "engines/Dispatch.h"

#include "cache/CacheStore.h"
#include "cache/RawReplay.h"
#include "engines/AcrobatPrinting.h"
#include "engines/FileTypes.h"
#include "engines/ImagePrinting.h"
#include "engines/OfficeAutomation.h"
#include "engines/OfficeSuites.h"
#include "engines/PdfiumLibrary.h"
#include "engines/PdfiumPrinting.h"
#include "engines/ShellVerbPrinting.h"
#include "platform/PinnedFile.h"

#include <QFileInfo>
#include <QMessageBox>

#include <algorithm>

namespace {

const char kNotRegular[] = "The file is not a regular file and cannot be printed";

PrintResult replayResult(bool ok, int pages, const QString &message, const char *fallback)
{
    PrintResult result;
    result.success = ok;
    result.pages = ok ? std::max(1, pages) : 0;
    if (!ok)
        result.message = message.isEmpty() ? QString::fromUtf8(fallback) : message;
    return result;
}

QString notInstalledMessage(const QString &name)
{
    return QStringLiteral("This computer does not have  ") + name
        + QStringLiteral("  installed, so Print，Please install  ") + name
        + QStringLiteral(" software.");
}

} // namespace

PrintResult dispatchPrintJob(const PrintJob &job)
{
    if (job.isCache) {
        QString message;
        const bool ok = replayCache(job.cachePath, job.printerName, job.displayName, job.copies, &message);
        return replayResult(ok, job.cachedPageCount, message,
                            "The printer did not receive standalone cache data");
    }

    // A name that has become a FIFO or a device would block whoever opens
    // it; the engines check again as they open the file.
    const QFileInfo source(job.path);
    if (source.exists() && !source.isFile())
        return replayResult(false, 0, QString(), kNotRegular);

    const QString suffix = lowerSuffix(job.path);
    QString prnPath;
    int cachedPages = 1;
    if (findCache(job.path, printSettingsOf(job), &prnPath, &cachedPages)) {
        // A file with a cache prints from it, and only from it.
        QString message;
        const bool ok = replayCache(prnPath, job.printerName, QFileInfo(job.path).fileName(),
                                    job.copies, &message);
        return replayResult(ok, cachedPages, message, "The printer did not receive cache data");
    }

    bool ok = false;
    int pages = 0;
    QString message;
    QString note;
    // A choice that cannot print here (Acrobat where there is none) prints
    // with what can.
    const QString officeEngine = usableOfficeEngine(job.officeEngine);
    if (suffix == QLatin1String("pdf")) {
        if (usablePdfEngine(job.pdfEngine) == QLatin1String("pdfium")) {
            const PdfScanProfile scan = analyzeScannedPdf(job.path, QString());
            PdfiumPrintRequest request = printRequest(job.printerName, job.duplex, job.shortEdge, job.color,
                                                      job.paperKey, job.copies, job.useDriverSettings);
            request.pdfPath = job.path;
            request.forcedDpi = scan.recommendedDpi;
            ok = printPdfWithPdfium(request, &pages, &message, &note);
        } else {
            ok = printPdfWithAcrobat(job.path, job.printerName, job.duplex, job.shortEdge, job.color,
                                     job.paperKey, job.copies, job.useDriverSettings, &pages,
                                     &message);
        }
    } else if (isImageFile(job.path)) {
        ok = printImageWithQt(job, &pages, &message, &note);
    } else {
        const bool suite = isOfficeSuiteAvailable(job.path, officeEngine);
        if (isOfficeDocument(job.path) && suite) {
            ok = printOfficeDocument(job.path, officeEngine, job.printerName, job.duplex,
                                     job.shortEdge, job.color, job.paperKey, job.copies,
                                     job.useDriverSettings, &pages, &message, &note);
        } else if (isShellVerbType(job.path)) {
            ok = printWithShellVerb(job.path, job.printerName, job.duplex, job.shortEdge, job.color,
                                    job.paperKey, job.copies, job.useDriverSettings, &pages,
                                    &message, &note);
        } else if (!suite) {
            message = notInstalledMessage(officeSuiteName(job.path, officeEngine));
        } else {
            // The office engine rejects a type it cannot print with its own message.
            ok = printOfficeDocument(job.path, officeEngine, job.printerName, job.duplex,
                                     job.shortEdge, job.color, job.paperKey, job.copies,
                                     job.useDriverSettings, &pages, &message, &note);
        }
    }

    PrintResult result;
    result.success = ok;
    if (ok) {
        result.pages = std::max(1, pages);
        result.note = note;
    } else {
        result.message = message.isEmpty()
            ? QStringLiteral("The local print component did not return a successful result.")
            : message;
    }
    return result;
}

QStringList libreOfficeDocumentsOf(const QList<PrintJob> &jobs)
{
    QStringList documents;
    for (const PrintJob &job : jobs) {
        if (job.isCache || !isOfficeDocument(job.path))
            continue;
        const QString officeEngine = usableOfficeEngine(job.officeEngine);
        QString prnPath;
        int cachedPages = 1;
        if (isOfficeSuiteAvailable(job.path, officeEngine) && takesLibreOfficeRoute(job.path, officeEngine)
            && !findCache(job.path, printSettingsOf(job), &prnPath, &cachedPages))
            documents << job.path;
    }
    return documents;
}

QStringList missingDependencies()
{
    // Only what this platform could have: Acrobat and the COM suites cannot
    // be installed here, so they are never asked for.
    QStringList missing;
    if (!isMicrosoftOfficePresent() && !isWpsOfficePresent() && !isLibreOfficeAvailable())
        missing << QStringLiteral("No supported office suite was detected. Install LibreOffice to print "
                                  "office documents.");
    return missing;
}

void runDependencyCheck(QWidget *parent)
{
    const QStringList missing = missingDependencies();
    if (missing.isEmpty())
        return;
    QMessageBox::warning(parent, QStringLiteral("Dependency check"),
                         QStringLiteral("The following printing software is not installed:\n\n")
                             + missing.join(QStringLiteral("\n\n")),
                         QMessageBox::Ok);
}
