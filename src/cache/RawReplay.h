#pragma once

#include <QString>

// Prints stored printer-ready data: each copy is one RAW job that the
// spooler passes to the printer unchanged, streamed through one fixed
// buffer, so a cache of any size prints in constant memory. On failure the
// copies not yet sent are not sent, and the job in progress is cancelled.
bool replayCache(const QString &prnPath, const QString &printerName, const QString &documentName,
                 int copies, QString *error = nullptr);
