#pragma once

#include "cache/PrintSettings.h"
#include "engines/FileTypes.h"
#include "engines/PrintJob.h"
#include "store/QueueRecords.h"

#include <QString>
#include <QStringList>

class LocalStore;

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
