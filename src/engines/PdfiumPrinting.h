#pragma once

#include "engines/PaperKey.h"

#include <QString>

namespace Platform {
class PrinterDc;
}

// Draws every page of a PDF into a printer device context on which a
// document has been started: one printer page per PDF page, fitted and
// centred. A page that is nothing but one full-page JPEG goes to the printer
// as that JPEG. True when every page was printed.
bool printPdfToDc(const QString &pdfPath, Platform::PrinterDc *dc, int printableWidth,
                  int printableHeight, int *pagesPrinted, QString *message,
                  const QString &configuredLibraryPath, int *passThroughPages = nullptr);

// The whole print job: the printer's settings record from the job's
// settings, the device context, the document, and printPdfToDc.
struct PdfiumPrintRequest
{
    QString pdfPath;
    QString printerName;
    bool duplex = false;
    bool shortEdge = false;
    bool color = false;
    PaperKey paperKey = QStringLiteral("A4");
    int copies = 1;
    bool useDriverSettings = false;
    int forcedDpi = 0; // 0: the driver's own resolution
    QString title;     // of the job; empty: the PDF's file name
};

// A request with the settings every engine entry point takes.
PdfiumPrintRequest printRequest(const QString &printerName, bool duplex, bool shortEdge, bool color,
                                const PaperKey &paperKey, int copies, bool useDriverSettings);

// note, when given, tells of a success what the user should know (the paper
// the printer took in place of one it does not have).
bool printPdfWithPdfium(const PdfiumPrintRequest &request, int *pagesPrinted, QString *message,
                        QString *note = nullptr);

// Page geometry: the page fitted into the printable area and centred.
struct FittedPage
{
    int width = 1;
    int height = 1;
    int offsetX = 0;
    int offsetY = 0;
};
FittedPage fitPage(double pageWidth, double pageHeight, int printableWidth, int printableHeight);
