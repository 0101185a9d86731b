#pragma once

// Internal to the platform layer: handing finished documents to the spooler.

#include "platform/Spooler.h"

namespace Platform {

// A job title as the scheduler keeps it: control characters, which would
// make it "Untitled", become blanks.
QByteArray jobTitle(const QString &title);

// One job with one document of the given format ("application/pdf",
// "application/vnd.cups-raw"). A job that fails part-way is cancelled, so
// the spooler is never left with half a job.
bool submitDocument(PrinterHandle &printer, const QString &file, const QString &title,
                    const char *format, const OptionList &options, int *jobId);

// The printer's own filter chain run on a PDF, into a file: the data the
// printer would receive. A printer without a driver receives the PDF as is.
// Nothing is left at outputFile on failure; a chain that runs past the time
// limit is stopped (ErrorTimeout).
bool filterToFile(PrinterHandle &printer, const QString &pdfFile, const OptionList &options,
                  const QString &outputFile);

// The time limit of a filter chain (15 minutes unless set).
void setFilterTimeLimit(int milliseconds);

} // namespace Platform
