#include "queue/JobModel.h"

#include "store/LocalStore.h"

#include <QFileInfo>
#include <QSettings>

#include <algorithm>

QString formatFileSize(qint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 B").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(bytes / 1024.0, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg(bytes / 1024.0 / 1024.0, 0, 'f', 1);
}

QString duplexModeText(int duplexMode)
{
    switch (duplexMode) {
    case 1: return QStringLiteral("Duplex (long edge)");
    case 2: return QStringLiteral("Duplex (short edge)");
    default: return QStringLiteral("Simplex");
    }
}

QString colorText(bool color)
{
    return color ? QStringLiteral("Color") : QStringLiteral("Monochrome");
}

RowSettings recordedSettingsForNewRows(const LocalStore &store, int hotFolderId)
{
    RowSettings settings;
    const HotFolder folder = hotFolderId > 0 ? store.hotFolder(hotFolderId) : HotFolder();
    if (!folder.isEmpty()) {
        settings.printerName = folder.value(QStringLiteral("printer_name")).toString();
        settings.duplexMode = folder.value(QStringLiteral("duplex_mode"), 0).toInt();
        settings.color = folder.value(QStringLiteral("color"), false).toBool();
        settings.paperKey = folder.value(QStringLiteral("paper_size"), QStringLiteral("A4")).toString();
        settings.copies = 1;
        return settings;
    }
    const QSettings stored;
    settings.printerName = stored.value(QStringLiteral("defaultPrinter")).toString();
    settings.duplexMode = stored.value(QStringLiteral("normalDuplexMode"), 0).toInt();
    settings.color = stored.value(QStringLiteral("normalColor"), false).toBool();
    settings.paperKey = stored.value(QStringLiteral("normalPaperSize"), QStringLiteral("A4")).toString();
    settings.copies = stored.value(QStringLiteral("normalCopies"), 1).toInt();
    return settings;
}

PrintSettings rowPrintSettings(int hotFolderId, const HotFolder &hotFolder,
                               const QString &defaultPrinter)
{
    PrintSettings settings;
    settings.hotFolderId = hotFolderId;
    if (hotFolderId >= 1 && !hotFolder.isEmpty()) {
        const int mode = hotFolder.value(QStringLiteral("duplex_mode"), 0).toInt();
        settings.printerName = hotFolder.value(QStringLiteral("printer_name")).toString();
        settings.duplex = mode > 0;
        settings.shortEdge = mode == 2;
        settings.color = hotFolder.value(QStringLiteral("color"), false).toBool();
        settings.paperSize =
            hotFolder.value(QStringLiteral("paper_size"), QStringLiteral("A4")).toString();
        settings.useDriverSettings = false;
    } else {
        // The normal queue prints with the default printer's own properties.
        settings.printerName = defaultPrinter;
        settings.useDriverSettings = true;
    }
    return settings;
}

PrintJob buildPrintJobFor(const QueueEntry &row, const PrintJobContext &context)
{
    PrintJob job;
    job.path = row.value(QStringLiteral("path")).toString();
    job.isCache = row.value(QStringLiteral("task_type")).toString() == QLatin1String("cache");
    job.cachePath = row.value(QStringLiteral("cache_path")).toString();
    job.sourcePath = job.isCache ? row.value(QStringLiteral("source_path")).toString() : job.path;
    job.displayName = row.value(QStringLiteral("file_name")).toString();
    job.cachedPageCount = std::max(row.value(QStringLiteral("cached_page_count"), 1).toInt(), 1);
    job.copies = context.copies > 0 ? context.copies : 1;

    job.hotFolderId = context.hotFolderId;
    job.hotFolderName = context.hotFolderName;
    job.pdfEngine = context.pdfEngine;
    job.officeEngine = context.officeEngine;

    // A hot folder prints with its preset as it is now, not as recorded in
    // the row; the normal queue leaves duplex, colour and paper to the driver.
    const PrintSettings settings =
        rowPrintSettings(context.hotFolderId, context.hotFolder, context.defaultPrinter);
    job.printerName = settings.printerName;
    job.useDriverSettings = settings.useDriverSettings;
    job.duplex = settings.duplex;
    job.shortEdge = settings.shortEdge;
    job.color = settings.color;
    job.paperKey = settings.useDriverSettings ? QStringLiteral("driver-default") : settings.paperSize;
    return job;
}
