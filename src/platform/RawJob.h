#pragma once

#include "platform/Spooler.h"

// A RAW job written piece by piece on an open printer, in the shape of the
// spooler's StartDocPrinter (level 1, data type "RAW") … EndDocPrinter: one
// job with one raw document that the scheduler passes to the printer
// unchanged. The job exists at the scheduler from startDocPrinter on; it is
// printed only once endDocPrinter completes it, and aborting it (or closing
// the printer before the end) cancels it, so a failure never leaves half a
// job to print. Failing calls set the last error.
namespace Platform {

// The job's id, or 0.
int startDocPrinter(PrinterHandle &printer, const QString &documentName);
// A raw document has no pages of its own: these only mark the data.
bool startPagePrinter(PrinterHandle &printer);
bool endPagePrinter(PrinterHandle &printer);
// Takes all of the bytes or fails; written says how many were taken.
bool writePrinter(PrinterHandle &printer, const char *data, qint64 size, qint64 *written);
bool endDocPrinter(PrinterHandle &printer);
bool abortPrinter(PrinterHandle &printer);

} // namespace Platform
