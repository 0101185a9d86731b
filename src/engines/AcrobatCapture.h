#pragma once

#include "cache/PrintSettings.h"

#include <QString>

// Adobe Acrobat printing a PDF to a temporary printer whose port is the
// target file, so the file receives what the target printer's driver makes
// of it. True once the file is complete. One capture runs at a time in the
// process; the temporary printer and the port are gone again on every path.
bool captureWithAcrobat(const QString &pdfPath, const QString &targetPath,
                        const PrintSettings &settings, int *pageCount, QString *error);

// How long a capture waits for Acrobat's first job, and for the whole
// capture, and how often it looks (tests shorten them).
void setCaptureTimeLimits(int noJobMs, int totalMs, int pollMs);
