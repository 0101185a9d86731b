#pragma once

#include "engines/PaperKey.h"

#include <QString>

// The office engine: word-processor, presentation and spreadsheet documents
// printed by the suite the user chose. Through automation (Microsoft Office,
// WPS Office) the printer's per-user defaults carry the job's settings for
// the print and are put back on every path; LibreOffice's PDF of the
// document is printed with the job's settings by the built-in engine. note
// as printPdfWithPdfium has it.
bool printOfficeDocument(const QString &path, const QString &officeEngine,
                         const QString &printerName, bool duplex, bool shortEdge, bool color,
                         const PaperKey &paperKey, int copies, bool useDriverSettings, int *pages,
                         QString *message, QString *note = nullptr);

// The document as a PDF at targetPdf, by the same routes; true when the file
// exists and is not empty.
bool convertOfficeToPdf(const QString &sourcePath, const QString &officeEngine,
                        const QString &targetPdf, QString *message);

// Whether a document takes the LibreOffice route rather than automation.
bool takesLibreOfficeRoute(const QString &path, const QString &officeEngine);
