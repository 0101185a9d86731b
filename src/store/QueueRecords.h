#pragma once

#include <QString>
#include <QVariantList>
#include <QVariantMap>

// One row of a print list, keyed by the column names of print_files.
using QueueEntry = QVariantMap;
// One hot-folder preset, keyed by the column names of hot_folders.
using HotFolder = QVariantMap;

// The printer settings recorded with a print-list row.
struct RowSettings
{
    QString printerName;
    int duplexMode = 0; // 0 simplex, 1 long edge, 2 short edge
    bool color = false;
    QString paperKey = QStringLiteral("A4");
    int copies = 1;
};

// A hot folder's preset as the user edits it.
struct HotFolderPreset
{
    QString name;
    QString printerName;
    int duplexMode = 0;
    bool color = false;
    QString paperKey = QStringLiteral("A4");
    QString tabColor = QStringLiteral("#e9edf3");
};

// A standalone cache job: a stored print cache listed without its file.
struct CacheJobRecord
{
    QString displayName;
    QString sourcePath;
    QString cachePath;
    int pageCount = 1;
};

// A print that succeeded: the row it came from and its history record.
struct PrintedFile
{
    QString rowPath;      // the list row marked printed
    QString printerName;
    bool duplex = false;
    bool color = false;
    QString historyPath;  // the file the history names (a cache job's original)
    int pages = 1;        // per copy
    int copies = 1;       // as printed (the row keeps the copies it has now)
    int hotFolderId = 0;
    QString hotFolderName;
    QString displayName;
};

// A print on its way to the scheduler or waiting there: kept from just
// before its job is made until the job's end is known, so that a window
// closed or killed meanwhile neither prints the file again nor forgets the
// job.
struct SentJob
{
    PrintedFile printed;  // what the history records (pages unknown until printed)
    QString printer;      // the queue that has the job
    int jobId = 0;        // 0 until the scheduler made the job
    qint64 historyId = 0; // 0 until the print is recorded
};
