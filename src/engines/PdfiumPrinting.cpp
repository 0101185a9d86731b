#include "engines/PdfiumPrinting.h"

#include "engines/PdfiumLibrary.h"
#include "engines/PrinterDefaults.h"
#include "platform/LastError.h"
#include "platform/PrinterDc.h"
#include "platform/Spooler.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <cmath>

#include <zlib.h>

using namespace Platform;

namespace {

constexpr qint64 kMaxRawImageBytes = 134217728;      // as stored in the PDF
constexpr qint64 kMaxInflatedImageBytes = 134217727; // after inflating
constexpr int kInflateChunk = 262144;
constexpr qint64 kReopenAfterImageBytes = 16 * 1024 * 1024;

void setText(QString *out, const QString &text)
{
    if (out && out->isEmpty())
        *out = text;
}

int roundHalfAway(double value)
{
    return int(std::lround(value));
}

struct JpegPage
{
    QByteArray jpeg;
    unsigned int pixelWidth = 0;
    unsigned int pixelHeight = 0;
    float left = 0, bottom = 0, right = 0, top = 0;
};

QByteArray imageFilter(const Pdfium::Functions &fn, Pdfium::PageObject image, int index, bool *ok)
{
    const unsigned long length = fn.GetImageFilter(image, index, nullptr, 0);
    if (length < 1 || length > 256) {
        *ok = false;
        return {};
    }
    QByteArray name(int(length), '\0');
    fn.GetImageFilter(image, index, name.data(), length);
    while (name.endsWith('\0'))
        name.chop(1);
    return name;
}

bool inflateJpeg(const QByteArray &raw, QByteArray *out)
{
    z_stream stream{};
    if (inflateInit_(&stream, ZLIB_VERSION, int(sizeof(z_stream))) != Z_OK)
        return false;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(raw.constData()));
    stream.avail_in = uInt(raw.size());
    int status = Z_OK;
    QByteArray chunk(kInflateChunk, '\0');
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef *>(chunk.data());
        stream.avail_out = uInt(chunk.size());
        status = inflate(&stream, Z_NO_FLUSH);
        out->append(chunk.constData(), chunk.size() - qsizetype(stream.avail_out));
        if (out->size() > kMaxInflatedImageBytes) {
            status = Z_MEM_ERROR;
            break;
        }
    }
    inflateEnd(&stream);
    return status == Z_STREAM_END;
}

// The checks are cheap (geometry and filter names); image data is read only
// once they pass.
bool qualifiesForJpeg(const Pdfium::Functions &fn, Pdfium::Page page, double w, double h,
                      PrinterDc *dc, JpegPage *out)
{
    if (w <= 0 || h <= 0 || fn.GetRotation(page) != 0 || fn.GetAnnotCount(page) > 0)
        return false;

    Pdfium::PageObject image = nullptr;
    const int count = fn.CountObjects(page);
    for (int k = 0; k < count; ++k) {
        Pdfium::PageObject object = fn.GetObject(page, k);
        if (!object)
            return false;
        const int type = fn.GetObjectType(object);
        if (type == Pdfium::kImageObject && !image)
            image = object;
        else if (type != Pdfium::kTextObject
                 || fn.GetTextRenderMode(object) != Pdfium::kInvisibleTextMode)
            return false;
    }
    if (!image)
        return false;

    Pdfium::ImageMetadata meta{};
    if (!fn.GetBounds(image, &out->left, &out->bottom, &out->right, &out->top)
        || !fn.GetImageMetadata(image, page, &meta))
        return false;
    const double coverage = std::abs(double(out->right) - out->left)
        * std::abs(double(out->top) - out->bottom) / (w * h);
    if (coverage < 0.9 || coverage > 1.1 || meta.width < 800 || meta.height < 800)
        return false;
    // The JPEG is placed as a plain grey, RGB or CMYK image: a Lab,
    // separation or indexed image would print in the wrong colours.
    if (!Pdfium::isPlainColorSpace(meta.colorspace))
        return false;
    out->pixelWidth = meta.width;
    out->pixelHeight = meta.height;

    Pdfium::Matrix m{};
    if (!fn.GetMatrix(image, &m) || std::abs(m.b) > 0.01f || std::abs(m.c) > 0.01f || m.a <= 0
        || m.d <= 0)
        return false;

    const int filterCount = fn.GetImageFilterCount(image);
    if (filterCount < 1 || filterCount > 2)
        return false;
    QList<QByteArray> filters;
    for (int i = 0; i < filterCount; ++i) {
        bool ok = true;
        filters << imageFilter(fn, image, i, &ok);
        if (!ok)
            return false;
    }
    const bool plain = filters == QList<QByteArray>{"DCTDecode"};
    const bool deflated = filters == QList<QByteArray>{"FlateDecode", "DCTDecode"};
    if (!plain && !deflated)
        return false;

    const unsigned long rawLength = fn.GetImageDataRaw(image, nullptr, 0);
    if (rawLength < 4 || qint64(rawLength) > kMaxRawImageBytes)
        return false;
    QByteArray raw(qsizetype(rawLength), '\0');
    const unsigned long read = fn.GetImageDataRaw(image, raw.data(), rawLength);
    if (read < 1 || read > rawLength)
        return false;
    raw.truncate(qsizetype(read));

    if (plain)
        out->jpeg = raw;
    else if (!inflateJpeg(raw, &out->jpeg))
        return false;
    if (out->jpeg.size() < 4 || quint8(out->jpeg.at(0)) != 0xFF || quint8(out->jpeg.at(1)) != 0xD8)
        return false;

    const qint32 escape = CHECKJPEGFORMAT;
    QByteArray result;
    return extEscape(dc, QUERYESCSUPPORT,
                     QByteArray(reinterpret_cast<const char *>(&escape), sizeof escape), nullptr)
            > 0
        && extEscape(dc, CHECKJPEGFORMAT, out->jpeg, &result) > 0 && result.size() == 4
        && *reinterpret_cast<const qint32 *>(result.constData()) == 1;
}

// Where the image sits on the page, in device pixels.
bool drawJpeg(PrinterDc *dc, const JpegPage &jpeg, double w, double h, const FittedPage &fit)
{
    const int x = fit.offsetX + roundHalfAway(jpeg.left / w * fit.width);
    const int y = fit.offsetY + roundHalfAway((h - jpeg.top) / h * fit.height);
    const int width = std::max(1, roundHalfAway((jpeg.right - jpeg.left) / w * fit.width));
    const int height = std::max(1, roundHalfAway((jpeg.top - jpeg.bottom) / h * fit.height));
    return stretchJpeg(dc, x, y, width, height, int(jpeg.pixelWidth), int(jpeg.pixelHeight),
                       jpeg.jpeg)
        > 0;
}

// The document written out as PDFium reads it (repaired), into file.
bool saveAsPdfiumReadsIt(const Pdfium::Functions &fn, Pdfium::Document document, QTemporaryFile *file)
{
    struct Writer : Pdfium::FileWrite
    {
        QIODevice *device = nullptr;
    };
    if (!fn.SaveAsCopy || !file->open())
        return false;
    Writer writer;
    writer.device = file;
    writer.WriteBlock = [](Pdfium::FileWrite *self, const void *data, unsigned long size) {
        QIODevice *device = static_cast<Writer *>(self)->device;
        return device->write(static_cast<const char *>(data), qint64(size)) == qint64(size) ? 1 : 0;
    };
    const bool saved = fn.SaveAsCopy(document, &writer, Pdfium::kSaveNoIncremental) != 0 && file->flush();
    file->close();
    return saved;
}

// PDFium's BGR rows as an image the spool keeps compact: black and white
// where every pixel is (a text page, drawn without smoothing, as a printer
// puts it on paper), grey where every pixel is, else RGB.
QImage bandImage(const uchar *bgr, int stride, int width, int rows)
{
    bool gray = true;
    bool bilevel = true;
    for (int y = 0; gray && y < rows; ++y) {
        const uchar *in = bgr + qsizetype(y) * stride;
        for (int x = 0; gray && x < width; ++x, in += 3) {
            gray = in[0] == in[1] && in[1] == in[2];
            bilevel = bilevel && (in[0] == 0 || in[0] == 255);
        }
    }
    if (gray && bilevel) {
        QImage band(width, rows, QImage::Format_Mono);
        band.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        band.fill(1);
        for (int y = 0; y < rows; ++y) {
            const uchar *in = bgr + qsizetype(y) * stride;
            uchar *out = band.scanLine(y);
            for (int x = 0; x < width; ++x, in += 3) {
                if (in[0] == 0)
                    out[x >> 3] &= uchar(~(0x80 >> (x & 7)));
            }
        }
        return band;
    }
    QImage band(width, rows, gray ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    for (int y = 0; y < rows; ++y) {
        const uchar *in = bgr + qsizetype(y) * stride;
        uchar *out = band.scanLine(y);
        for (int x = 0; x < width; ++x, in += 3) {
            if (gray) {
                *out++ = in[0];
            } else {
                *out++ = in[2];
                *out++ = in[1];
                *out++ = in[0];
            }
        }
    }
    return band;
}

// The page as PDFium draws it for print, placed in bands so that a large
// page never needs one large bitmap. Rendered at the device's resolution up
// to 300 dpi, the same on both axes: pixels are kept in the spool until the
// document ends, and a damaged page needs no more.
bool renderPage(const Pdfium::Functions &fn, Pdfium::Page page, PrinterDc *dc,
                const FittedPage &fit)
{
    constexpr int kMaxRenderDpi = 300;
    constexpr qsizetype kBandBytes = 8 * 1024 * 1024;
    const auto pixels = [](int devicePixels, int dpi) {
        return dpi > kMaxRenderDpi
            ? std::max(1, roundHalfAway(double(devicePixels) * kMaxRenderDpi / dpi))
            : devicePixels;
    };
    const int width = pixels(fit.width, getDeviceCaps(dc, LOGPIXELSX));
    const int height = pixels(fit.height, getDeviceCaps(dc, LOGPIXELSY));
    const int bandRows =
        int(std::clamp<qsizetype>(kBandBytes / (qsizetype(width) * 3), 1, height));
    for (int top = 0; top < height; top += bandRows) {
        const int rows = std::min(bandRows, height - top);
        Pdfium::Bitmap bitmap = fn.BitmapCreateEx(width, rows, Pdfium::kBitmapBgr, nullptr, 0);
        if (!bitmap)
            return false;
        fn.BitmapFillRect(bitmap, 0, 0, width, rows, 0xFFFFFFFF);
        fn.RenderPageBitmap(bitmap, page, 0, -top, width, height, 0,
                            Pdfium::kRenderAnnotations | Pdfium::kRenderPrinting | Pdfium::kRenderNoSmoothText
                                | Pdfium::kRenderNoSmoothPath);
        const QImage band = bandImage(static_cast<const uchar *>(fn.BitmapGetBuffer(bitmap)),
                                      fn.BitmapGetStride(bitmap), width, rows);
        fn.BitmapDestroy(bitmap);
        // The band's share of the fitted rectangle, in device pixels.
        const int y0 = roundHalfAway(double(top) * fit.height / height);
        const int y1 = roundHalfAway(double(top + rows) * fit.height / height);
        if (stretchImage(dc, fit.offsetX, fit.offsetY + y0, fit.width, std::max(1, y1 - y0), band) <= 0)
            return false;
    }
    return true;
}

// One page of the document onto one printer page: its JPEG placed
// unchanged, else the page as vector forms where the spool writer reads it
// as PDFium does, else what PDFium draws. PDFium reads the page itself only
// where it may go as a JPEG or must be drawn by PDFium: a page with no image
// cannot be a JPEG page.
bool printPage(Pdfium::Pass &pass, PdfPageView view, const QString &source, PrinterDc *dc,
               int printableWidth, int printableHeight, bool *passedThrough, qint64 *imageBytes,
               bool *pdfiumFirst, QString *message)
{
    const Pdfium::Functions &fn = pass.fn();
    const int number = view.index + 1;
    const auto fail = [message](const QString &text) {
        setText(message, text);
        return false;
    };
    if (!fn.GetPageSizeByIndex(pass.document(), view.index, &view.width, &view.height))
        return fail(QStringLiteral("PDFium could not load page %1.").arg(number));
    const double w = view.width;
    const double h = view.height;
    const FittedPage fit = fitPage(w, h, printableWidth, printableHeight);
    // Which reader looks first follows the page before (a scan's pages are
    // mostly JPEG pages, a text's mostly not); the outcome never depends on it.
    bool placeable = false;
    bool mayHoldImages = true;
    bool placementChecked = false;
    const auto checkPlacement = [&] {
        if (!placementChecked)
            placeable = canPlacePdfPage(dc, source, view, &mayHoldImages);
        placementChecked = true;
    };
    if (!*pdfiumFirst)
        checkPlacement();
    const bool needsPdfium = !placementChecked || !placeable || mayHoldImages;
    Pdfium::PageGuard page(fn, needsPdfium ? fn.LoadPage(pass.document(), view.index) : nullptr);
    if (needsPdfium && !page.get()) {
        checkPlacement();
        if (!placeable || mayHoldImages)
            return fail(QStringLiteral("PDFium could not load page %1.").arg(number));
    }
    JpegPage jpeg;
    const bool qualifies = page.get() && qualifiesForJpeg(fn, page.get(), w, h, dc, &jpeg);
    *imageBytes += jpeg.jpeg.size();
    *pdfiumFirst = qualifies;

    if (startPage(dc) <= 0) {
        return fail(QStringLiteral("The printer could not start page %1 (error %2).")
                        .arg(number)
                        .arg(lastError()));
    }
    bool drawn = qualifies && drawJpeg(dc, jpeg, w, h, fit);
    *passedThrough = drawn;
    if (!drawn) {
        checkPlacement();
        QString drawError;
        drawn = placeable
            && drawPdfPage(dc, source, view.index, fit.offsetX, fit.offsetY, fit.width, fit.height,
                           &drawError);
    }
    if (!drawn) {
        Pdfium::PageGuard late(fn, page.get() ? nullptr : fn.LoadPage(pass.document(), view.index));
        const Pdfium::Page rendered = page.get() ? page.get() : late.get();
        if (!rendered || !renderPage(fn, rendered, dc, fit))
            return fail(QStringLiteral("The printer device could not draw page %1.").arg(number));
    }
    if (endPage(dc) <= 0) {
        return fail(QStringLiteral("The printer could not finish page %1 (error %2).")
                        .arg(number)
                        .arg(lastError()));
    }
    return true;
}

} // namespace

FittedPage fitPage(double w, double h, int printableWidth, int printableHeight)
{
    const double scale = std::min(printableWidth / w, printableHeight / h);
    FittedPage fit;
    fit.width = std::max(1, roundHalfAway(w * scale));
    fit.height = std::max(1, roundHalfAway(h * scale));
    fit.offsetX = (printableWidth - fit.width) / 2;
    fit.offsetY = (printableHeight - fit.height) / 2;
    return fit;
}

bool printPdfToDc(const QString &pdfPath, PrinterDc *dc, int printableWidth, int printableHeight,
                  int *pagesPrinted, QString *message, const QString &configuredLibraryPath,
                  int *passThroughPages)
{
    int printed = 0;
    int passThrough = 0;
    QString text;
    const auto finish = [&](bool ok) {
        if (pagesPrinted)
            *pagesPrinted = printed;
        if (passThroughPages)
            *passThroughPages = passThrough;
        if (message)
            *message = text;
        return ok;
    };
    if (!dc || printableWidth < 1 || printableHeight < 1) {
        text = QStringLiteral("The printer device context is invalid.");
        return finish(false);
    }

    int pageCount = 0;
    {
        Pdfium::Pass pass(configuredLibraryPath);
        if (!pass.open(pdfPath,
                       Pdfium::PageObjectGroup | Pdfium::PassThroughGroup | Pdfium::RenderGroup,
                       &text))
            return finish(false);
        const Pdfium::Functions &fn = pass.fn();
        // Checked once for the whole document: no page of a document that
        // forbids printing reaches the printer, whichever way it would go.
        if (!(fn.GetDocPermissions(pass.document()) & Pdfium::kPermissionPrint)) {
            text = QStringLiteral("The PDF document does not allow printing.");
            return finish(false);
        }
        // The spool writer reads the very file PDFium opened; a document
        // it cannot read, PDFium's reading of it saved whole, so that only
        // the pages that need it are drawn as pixels.
        pageCount = fn.GetPageCount(pass.document());
        QTemporaryFile repaired(QDir::temp().filePath(QStringLiteral("dunmarrow-repaired-XXXXXX.pdf")));
        QString source = pass.sourcePath();
        if (!canReadPdfDocument(dc, source, pageCount) && saveAsPdfiumReadsIt(fn, pass.document(), &repaired)
            && canReadPdfDocument(dc, repaired.fileName(), pageCount))
            source = repaired.fileName();
        qint64 imageBytesRead = 0;
        bool pdfiumFirst = false;
        for (int i = 0; i < pageCount; ++i) {
            // PDFium holds what it read until the document closes: a long
            // scan would otherwise end up in memory whole.
            if (imageBytesRead > kReopenAfterImageBytes) {
                if (!pass.reopen()) {
                    setText(&text, QStringLiteral("PDFium could not load page %1.").arg(i + 1));
                    break;
                }
                imageBytesRead = 0;
            }
            bool passedThrough = false;
            if (!printPage(pass, {i, pageCount, 0, 0}, source, dc, printableWidth, printableHeight,
                           &passedThrough, &imageBytesRead, &pdfiumFirst, &text))
                break;
            passThrough += passedThrough ? 1 : 0;
            printed = i + 1;
        }
    }
    const bool ok = pageCount > 0 && printed == pageCount;
    if (!ok)
        setText(&text, QStringLiteral("The PDF document has no printable pages."));
    return finish(ok);
}

PdfiumPrintRequest printRequest(const QString &printerName, bool duplex, bool shortEdge, bool color,
                                const PaperKey &paperKey, int copies, bool useDriverSettings)
{
    PdfiumPrintRequest request;
    request.printerName = printerName;
    request.duplex = duplex;
    request.shortEdge = shortEdge;
    request.color = color;
    request.paperKey = paperKey;
    request.copies = copies;
    request.useDriverSettings = useDriverSettings;
    return request;
}

bool printPdfWithPdfium(const PdfiumPrintRequest &request, int *pagesPrinted, QString *message,
                        QString *note)
{
    if (pagesPrinted)
        *pagesPrinted = 0;
    QString text;
    const auto fail = [&](const QString &reason) {
        if (message)
            *message = reason;
        return false;
    };
    if (!QFileInfo::exists(request.pdfPath))
        return fail(QStringLiteral("PDF file not found: ") + request.pdfPath);
    if (request.printerName.trimmed().isEmpty())
        return fail(QStringLiteral("No printer is selected."));

    PrinterHandle printer;
    if (!openPrinter(request.printerName, &printer))
        return fail(withLastErrorReason(QStringLiteral("Unable to open printer: ")
                                        + request.printerName));
    if (documentPropertiesSize(printer) < 1)
        return fail(QStringLiteral("The printer driver did not provide DEVMODE data: ")
                    + request.printerName);
    DeviceMode devMode;
    if (documentPropertiesRead(printer, &devMode) != IDOK)
        return fail(QStringLiteral("Unable to read printer driver settings: ") + request.printerName);
    const DeviceMode driverDefaults = devMode;

    writeSettingsToDeviceMode(&devMode,
                              deviceModeSettings(request.copies, request.duplex, request.shortEdge,
                                                 request.color, request.paperKey,
                                                 request.useDriverSettings));
    forceResolution(&devMode, request.forcedDpi);
    if (documentPropertiesMerge(printer, &devMode) != IDOK)
        return fail(QStringLiteral("The printer driver rejected the current print settings."));

    std::unique_ptr<PrinterDc> dc = createPrinterDc(std::move(printer), driverDefaults, devMode);
    if (!dc)
        return fail(windowsErrorText(QStringLiteral("Unable to create the printer device")));
    const QString title = request.title.isEmpty() ? QFileInfo(request.pdfPath).fileName() : request.title;
    if (startDoc(dc.get(), title) <= 0)
        return fail(windowsErrorText(QStringLiteral("Unable to create the PDFium print job")));

    const int height = getDeviceCaps(dc.get(), VERTRES);
    const int width = getDeviceCaps(dc.get(), HORZRES);
    int pages = 0;
    if (!printPdfToDc(request.pdfPath, dc.get(), width, height, &pages, &text, QString())) {
        abortDoc(dc.get());
        return fail(text);
    }
    if (endDoc(dc.get()) <= 0)
        return fail(windowsErrorText(QStringLiteral("The printer did not complete the PDFium print job")));
    if (pagesPrinted)
        *pagesPrinted = pages;
    if (message)
        message->clear();
    if (note)
        *note = paperSubstitutionNote(devMode);
    return true;
}
