#pragma once

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
