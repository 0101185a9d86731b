#pragma once

#include "engines/PaperKey.h"

#include <QString>

// Prints a PDF through Adobe Acrobat's automation: Acrobat's silent print
// goes to the default printer with that printer's per-user defaults, so for
// the print the target printer is made the default and its defaults carry
// the job's settings; both are put back on every path.
bool printPdfWithAcrobat(const QString &pdfPath, const QString &printerName, bool duplex,
                         bool shortEdge, bool color, const PaperKey &paperKey, int copies,
                         bool useDriverSettings, int *pagesPrinted, QString *message);
