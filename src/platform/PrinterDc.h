#pragma once

#include "platform/DeviceMode.h"
#include "platform/ImageFrames.h"
#include "platform/Spooler.h"

#include <QByteArray>
#include <QString>

#include <memory>

// A printer device context: a document of pages drawn for one printer and
// one settings record. Here the document is a PDF spool built with qpdf at
// the printer's paper size; pages of a source PDF are placed as vector forms
// (the printer's own filter chain renders them, as a Windows driver renders
// GDI output) and JPEG data is placed unchanged. Ending the document submits
// it to the spooler, or, with an output file, runs the printer's filter chain
// into that file. Coordinates are device pixels from the top-left corner of
// the printable area, at the printer's resolution.
namespace Platform {

// GetDeviceCaps indexes
inline constexpr int HORZRES = 8;
inline constexpr int VERTRES = 10;
inline constexpr int LOGPIXELSX = 88;
inline constexpr int LOGPIXELSY = 90;

// ExtEscape numbers
inline constexpr int QUERYESCSUPPORT = 8;
inline constexpr int CHECKJPEGFORMAT = 4119;

class PrinterDc
{
public:
    ~PrinterDc(); // DeleteDC: a document still open is abandoned
    PrinterDc(const PrinterDc &) = delete;
    PrinterDc &operator=(const PrinterDc &) = delete;

    struct Impl;
    Impl *impl() const { return m_impl.get(); }

private:
    friend std::unique_ptr<PrinterDc> createPrinterDc(PrinterHandle, const DeviceMode &,
                                                      const DeviceMode &);
    PrinterDc();
    std::unique_ptr<Impl> m_impl;
};

// CreateDCW("WINSPOOL", printer, nullptr, devMode); null with the last
// error set when the printer cannot be used.
std::unique_ptr<PrinterDc> createPrinterDc(const QString &printerName, const DeviceMode &devMode);
// The same on a printer already open, whose settings record as the driver
// reads it (documentPropertiesRead) is known: the handle moves into the
// device context and nothing is looked up twice.
std::unique_ptr<PrinterDc> createPrinterDc(PrinterHandle printer, const DeviceMode &defaults,
                                           const DeviceMode &devMode);

int getDeviceCaps(const PrinterDc *dc, int index);

// StartDocW: above 0 on success. An output file redirects the printer-ready
// data there instead of the spooler.
int startDoc(PrinterDc *dc, const QString &documentName, const QString &outputFile = QString());
int startPage(PrinterDc *dc);
int endPage(PrinterDc *dc);
int endDoc(PrinterDc *dc);
int abortDoc(PrinterDc *dc);

// ExtEscape: QUERYESCSUPPORT and CHECKJPEGFORMAT (output: 1 when the JPEG
// can be placed unchanged).
int extEscape(PrinterDc *dc, int escape, const QByteArray &input, QByteArray *output);

// Places page pageIndex (0-based) of a PDF file, fitted into the rectangle.
// False with a message when the source cannot be drawn.
bool drawPdfPage(PrinterDc *dc, const QString &pdfPath, int pageIndex, int x, int y, int width,
                 int height, QString *message);

// What the page's renderer saw of a source page, to compare with.
struct PdfPageView
{
    int index = 0;     // 0-based
    int pageCount = 0; // of the document
    double width = 0;  // points, as displayed (rotation applied)
    double height = 0;
};

// Whether drawPdfPage would place the page exactly as the renderer saw it:
// the document reads cleanly, with the same pages, a page of that size with
// its own paper box, contents that decode and no printable annotation
// without an appearance. Where it would not, the caller renders the page
// itself and places the pixels.
// mayHoldImages, when asked, says whether the page may hold an image (true
// unless it is placeable and holds none).
bool canPlacePdfPage(PrinterDc *dc, const QString &pdfPath, const PdfPageView &view,
                     bool *mayHoldImages = nullptr);

// Whether the spool writer reads the document at all, with this many pages.
bool canReadPdfDocument(PrinterDc *dc, const QString &pdfPath, int pageCount);

// StretchDIBits with BI_RGB: a Mono, Grayscale8 or RGB888 image fitted into
// the rectangle, kept lossless. 0 on failure.
int stretchImage(PrinterDc *dc, int x, int y, int width, int height, const QImage &pixels);

// StretchDIBits with BI_JPEG: the JPEG bytes placed unchanged into the
// rectangle, shown turned as the orientation says. 0 when the data is not a
// JPEG this device can place.
int stretchJpeg(PrinterDc *dc, int x, int y, int width, int height, int pixelWidth,
                int pixelHeight, const QByteArray &jpeg, ImageOrientation orientation = {});

// Colour components and Adobe marking of a JPEG, from its markers.
struct JpegInfo
{
    bool valid = false;
    int components = 0;
    int width = 0;
    int height = 0;
    bool adobeInverted = false; // Adobe-marked CMYK: stored inverted
};
JpegInfo inspectJpeg(const QByteArray &jpeg);

} // namespace Platform
