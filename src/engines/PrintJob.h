#pragma once

#include "cache/PrintSettings.h"

#include <QString>

// Everything needed to print one row, built by the print list and handed by
// value to a worker.
struct PrintJob
{
    QString path;
    QString printerName;
    bool duplex = false;
    bool shortEdge = false;
    bool color = false;
    QString paperKey = QStringLiteral("A4");
    QString pdfEngine = QStringLiteral("acrobat");
    QString officeEngine = QStringLiteral("auto");
    int copies = 1;
    bool useDriverSettings = false;
    int hotFolderId = 0;
    QString hotFolderName;
    bool isCache = false;
    QString cachePath;
    QString sourcePath;
    QString displayName;
    int cachedPageCount = 1;
};

// The settings a job's print cache is found by.
inline PrintSettings printSettingsOf(const PrintJob &job)
{
    PrintSettings settings;
    settings.printerName = job.printerName;
    settings.duplex = job.duplex;
    settings.shortEdge = job.shortEdge;
    settings.color = job.color;
    settings.paperSize = job.paperKey;
    settings.useDriverSettings = job.useDriverSettings;
    settings.hotFolderId = job.hotFolderId;
    return settings;
}
