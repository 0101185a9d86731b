#include "engines/CacheBuilder.h"

#include "cache/CacheLocation.h"
#include "cache/CacheStore.h"
#include "engines/AcrobatCapture.h"
#include "engines/EngineAvailability.h"
#include "engines/FileTypes.h"
#include "engines/ImagePrinting.h"
#include "engines/OfficeAutomation.h"
#include "engines/OfficeSuites.h"
#include "engines/PaperKey.h"
#include "engines/PdfiumLibrary.h"
#include "engines/PdfiumPrinting.h"
#include "engines/PrinterDefaults.h"
#include "platform/LastError.h"
#include "platform/PrinterDc.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QWaitCondition>

#include <cstdio>

using namespace Platform;

namespace {

constexpr int kRenameAttempts = 50;
constexpr int kRenamePauseMs = 200;

// Keys being built in this process. A second build of the same key (the
// same row cached twice, or two hot folders with the same preset) waits for
// the first: both write the key's one temporary file.
struct KeysInBuild
{
    QMutex mutex;
    QWaitCondition released;
    QSet<QString> keys;
};

KeysInBuild &keysInBuild()
{
    static KeysInBuild building;
    return building;
}

class KeyClaim
{
public:
    explicit KeyClaim(const QString &key) : m_key(key)
    {
        KeysInBuild &building = keysInBuild();
        QMutexLocker locker(&building.mutex);
        while (building.keys.contains(m_key))
            building.released.wait(&building.mutex);
        building.keys.insert(m_key);
    }
    ~KeyClaim()
    {
        KeysInBuild &building = keysInBuild();
        QMutexLocker locker(&building.mutex);
        building.keys.remove(m_key);
        building.released.wakeAll();
    }
    KeyClaim(const KeyClaim &) = delete;
    KeyClaim &operator=(const KeyClaim &) = delete;

private:
    QString m_key;
};

// One image on one page of the key's paper, centred, at 300 dpi.
struct BuiltInOutcome
{
    int pages = 0;
    int passThrough = 0;
};

// The built-in engine: the document drawn into a device context whose
// output is the printer's own data, written to tmp.
bool renderWithBuiltInEngine(const QString &renderPath, const PrintSettings &settings,
                             const QString &tmp, BuiltInOutcome *outcome, QString *error)
{
    const auto fail = [&](const QString &text) {
        *error = text;
        QFile::remove(tmp);
        return false;
    };
    if (settings.printerName.trimmed().isEmpty())
        return fail(QStringLiteral("No printer is selected."));
    PrinterHandle printer;
    if (!openPrinter(settings.printerName, &printer))
        return fail(QStringLiteral("Unable to open printer: ") + settings.printerName);
    if (documentPropertiesSize(printer) <= 0)
        return fail(QStringLiteral("The printer driver did not provide DEVMODE data."));
    DeviceMode devMode;
    if (documentPropertiesRead(printer, &devMode) != IDOK)
        return fail(QStringLiteral("Unable to read printer driver settings."));
    const DeviceMode driverDefaults = devMode;

    // One copy: copies are made by sending the data again.
    writeSettingsToDeviceMode(&devMode, deviceModeSettings(1, settings.duplex, settings.shortEdge,
                                                           settings.color, settings.paperSize,
                                                           settings.useDriverSettings));
    forceResolution(&devMode, settings.resolutionDpi);
    if (documentPropertiesMerge(printer, &devMode) != IDOK)
        return fail(QStringLiteral("The printer driver rejected the cache settings."));

    QFile::remove(tmp);
    std::unique_ptr<PrinterDc> dc = createPrinterDc(std::move(printer), driverDefaults, devMode);
    if (!dc)
        return fail(windowsErrorText(QStringLiteral("Unable to create the printer cache device")));
    if (startDoc(dc.get(), QFileInfo(renderPath).fileName(), QDir::toNativeSeparators(tmp)) <= 0)
        return fail(windowsErrorText(QStringLiteral("The printer driver cannot safely generate a local cache")));

    QString text;
    if (!printPdfToDc(renderPath, dc.get(), getDeviceCaps(dc.get(), HORZRES),
                      getDeviceCaps(dc.get(), VERTRES), &outcome->pages, &text, QString(),
                      &outcome->passThrough)) {
        abortDoc(dc.get());
        return fail(text);
    }
    if (endDoc(dc.get()) <= 0) {
        if (lastError() == ErrorDiskFull)
            return fail(withLastErrorReason(QStringLiteral("The print cache could not be written whole")));
        return fail(windowsErrorText(QStringLiteral("The printer driver did not complete cache generation")));
    }
    dc.reset();
    if (QFileInfo(tmp).size() <= 0)
        return fail(QStringLiteral("The printer driver produced no RAW/PRN data and may not support caching."));
    outcome->pages = std::max(1, outcome->pages);
    return true;
}

// rename(2) replaces the old data in one step: there is never a moment
// without a whole cache under the key.
bool storeData(const QString &tmp, const QString &prn)
{
    const QByteArray from = QFile::encodeName(tmp);
    const QByteArray to = QFile::encodeName(prn);
    for (int attempt = 0; attempt < kRenameAttempts; ++attempt) {
        if (std::rename(from.constData(), to.constData()) == 0)
            return true;
        QThread::msleep(kRenamePauseMs);
    }
    return false;
}

} // namespace

PrintSettings cacheSettingsFor(const PrintJob &job, const QString &renderPath)
{
    PrintSettings settings = printSettingsOf(job);
    settings.preferAcrobat = true;
    settings.resolutionDpi = analyzeScannedPdf(renderPath, QString()).recommendedDpi;
    return settings;
}

bool buildCache(const QString &renderPath, const QString &sourcePath, const PrintSettings &settings,
                CacheResult *out, const QString &sourceKey)
{
    *out = CacheResult();
    const auto fail = [&](const QString &text) {
        out->message = text;
        return false;
    };
    QString text;
    const QString key = cacheKey(sourcePath, settings, &text);
    if (key.isEmpty())
        return fail(text);
    if (!sourceKey.isEmpty() && key != sourceKey)
        return fail(QStringLiteral("The file changed while it was being cached. Cache it again."));
    const QDir directory(cacheDirectory());
    if (!QDir().mkpath(directory.path()))
        return fail(QStringLiteral("Unable to create cache directory: ") + directory.path());
    const QString prn = directory.filePath(key + QStringLiteral(".prn"));
    const QString tmp = prn + QStringLiteral(".tmp");
    const KeyClaim claim(key);

    int pages = 0;
    int passThrough = 0;
    // Without Acrobat the built-in engine is the way, not a fallback.
    if (settings.preferAcrobat && isAcrobatInstalled()) {
        out->usedAcrobat = captureWithAcrobat(renderPath, tmp, settings, &pages, &out->acrobatError);
        if (out->usedAcrobat)
            out->acrobatError.clear();
    }
    if (!out->usedAcrobat) {
        BuiltInOutcome outcome;
        if (!renderWithBuiltInEngine(renderPath, settings, tmp, &outcome, &text)) {
            if (!out->acrobatError.isEmpty())
                text = QStringLiteral("Acrobat capture failed: ") + out->acrobatError
                    + QStringLiteral("\nThe built-in PDF fallback also failed: ") + text;
            return fail(text);
        }
        pages = outcome.pages;
        passThrough = outcome.passThrough;
    }

    // Data made from a file that changed meanwhile would be stored under a
    // key that no longer names it.
    if (cacheKey(sourcePath, settings) != key) {
        QFile::remove(tmp);
        return fail(QStringLiteral("The file changed while it was being cached. Cache it again."));
    }
    // The record goes first: data under the key is never without one.
    CacheRecord record;
    record.sourcePath = QFileInfo(sourcePath).absoluteFilePath();
    record.settings = settings;
    record.pageCount = std::max(1, pages);
    record.rawSize = QFileInfo(tmp).size();
    record.compressedImagePageCount = out->usedAcrobat ? 0 : passThrough;
    record.cacheEngine = out->usedAcrobat ? QStringLiteral("acrobat-capture") : QStringLiteral("pdfium");
    const QString json = directory.filePath(key + QStringLiteral(".json"));
    if (!writeCacheRecord(json, record)) {
        QFile::remove(tmp);
        return fail(QStringLiteral("The print cache record could not be saved: ") + json);
    }
    if (!storeData(tmp, prn)) {
        return fail(QStringLiteral("Print data was generated, but the print service is still "
                                   "using the temporary cache. It could not be saved after 10 seconds. "
                                   "Please try again later."));
    }

    out->success = true;
    out->cachePath = prn;
    out->pageCount = record.pageCount;
    out->compressedImagePageCount = record.compressedImagePageCount;
    return true;
}

CacheResult buildCacheForJob(const PrintJob &job)
{
    CacheResult result;
    const auto fail = [&](const QString &text) {
        result.message = text;
        return result;
    };
    const QTemporaryDir work;
    if (!work.isValid())
        return fail(QStringLiteral("Unable to create the temporary cache directory"));

    // The file as it is now: what is made of it below must still be it.
    const QString sourceKey = cacheKey(job.path, printSettingsOf(job));
    QString renderPath;
    const QString suffix = lowerSuffix(job.path);
    if (isImageFile(job.path)) {
        renderPath = work.filePath(QStringLiteral("image.pdf"));
        int imagePages = 0;
        switch (writeImagePdf(job.path, pageSizeForKey(job.paperKey), 300, renderPath, &imagePages)) {
        case ImagePdfStatus::Written: break;
        case ImagePdfStatus::Unreadable: return fail(QStringLiteral("Unable to read the image file"));
        case ImagePdfStatus::NotWritten:
            return fail(QStringLiteral("Unable to convert the image to a cache intermediate file"));
        }
    } else if (isOfficeDocument(job.path)) {
        renderPath = work.filePath(QStringLiteral("document.pdf"));
        QString error;
        if (!convertOfficeToPdf(job.path, job.officeEngine, renderPath, &error))
            return fail(error);
    } else if (suffix == QLatin1String("pdf")) {
        renderPath = job.path;
    } else {
        return fail(QStringLiteral("The initial cache version supports PDF, images, and documents "
                                   "convertible by Office/WPS;This file type will be improved in a "
                                   "later version"));
    }

    buildCache(renderPath, job.path, cacheSettingsFor(job, renderPath), &result, sourceKey);
    return result;
}
