#pragma once

#include "cache/PrintSettings.h"

#include <QString>

// Adobe Acrobat printing a PDF to a temporary printer whose port is the
// target file, so the file receives what the target printer's driver makes
// of it. True once the file is complete.
bool captureWithAcrobat(const QString &pdfPath, const QString &targetPath,
                        const PrintSettings &settings, int *pageCount, QString *error);
