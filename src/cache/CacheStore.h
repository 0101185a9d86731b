#pragma once

#include "cache/PrintSettings.h"

#include <QString>

// The print cache of a file for one set of print settings.
// Until the cache is built by this program, no file has one.
bool findCache(const QString &sourcePath, const PrintSettings &settings, QString *prnPath = nullptr,
               int *pageCount = nullptr);

// Streams stored printer-ready data to a printer as a RAW job.
bool replayCache(const QString &prnPath, const QString &printerName, const QString &jobName,
                 int copies, QString *message);
