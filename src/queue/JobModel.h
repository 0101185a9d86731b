#pragma once

#include "cache/PrintSettings.h"
#include "store/QueueRecords.h"

#include <QString>
#include <QStringList>

class LocalStore;

// Everything needed to print one row, handed by value to a worker.
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

// The 30 extensions that may enter a print list, in their order.
const QStringList &supportedExtensions();
// The text after the last dot of the file name, lower-cased; empty without one.
QString lowerSuffix(const QString &path);
// By the name's last suffix only; existence is the caller's business.
bool isSupportedFile(const QString &path);
// "512 B", "1.5 KB", "2048.0 MB".
QString formatFileSize(qint64 bytes);

QString duplexModeText(int duplexMode);
QString colorText(bool color);

// Settings for rows added to a list: the hot folder's preset, or the normal
// queue's settings when the list is the normal queue or its folder is gone.
RowSettings recordedSettingsForNewRows(const LocalStore &store, int hotFolderId);

// What the window knows when a row is printed.
struct PrintJobContext
{
    int hotFolderId = 0;
    QString hotFolderName;
    HotFolder hotFolder;    // empty for the normal queue or a deleted folder
    int copies = 0;         // the row's copies box; 0 when it has none
    QString pdfEngine;      // the engine combos' data
    QString officeEngine;
    QString defaultPrinter; // the normal queue's printer
};

PrintJob buildPrintJobFor(const QueueEntry &row, const PrintJobContext &context);

// The settings a row's print cache is looked up with.
PrintSettings rowPrintSettings(int hotFolderId, const HotFolder &hotFolder,
                               const QString &defaultPrinter);
