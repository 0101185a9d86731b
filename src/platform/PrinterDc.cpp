#include "platform/PrinterDc.h"

#include "platform/LastError.h"
#include "platform/PinnedFile.h"
#include "platform/SpoolJobs.h"
#include "platform/SpoolerState.h"

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/Pl_Discard.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryFile>

#include <cmath>
#include <map>

#include <sys/stat.h>
#include <zlib.h>

namespace Platform {

namespace {

constexpr double kPointsPerHundredthMm = 72.0 / 2540.0;

// A source PDF, opened once per document and kept until the spool is
// written (the spool refers to its objects until then). A document qpdf
// cannot read has no pdf.
struct SourcePdf
{
    std::shared_ptr<QPDF> pdf;
    bool printable = true;
    std::vector<QPDFPageObjectHelper> pages;
    // Per page: a printable annotation without an appearance, which the
    // flattening would drop.
    std::vector<bool> unflattenable;
    // Per page: -1 not checked yet, 0 must be rendered, 1 placeable.
    std::vector<int> placeable;
};

bool needsAppearance(QPDFObjectHandle annotation)
{
    if (!annotation.isDictionary())
        return false;
    const int flags = annotation.getKey("/F").isInteger() ? annotation.getKey("/F").getIntValueAsInt() : 0;
    const bool printed = (flags & an_print) && !(flags & (an_invisible | an_hidden));
    const std::string subtype =
        annotation.getKey("/Subtype").isName() ? annotation.getKey("/Subtype").getName() : "";
    if (!printed || subtype == "/Link" || subtype == "/Popup")
        return false;
    QPDFObjectHandle ap = annotation.getKey("/AP");
    return !ap.isDictionary() || ap.getKey("/N").isNull();
}

SourcePdf readSource(const QString &pdfPath)
{
    SourcePdf source;
    // Opened without waiting, and only a regular file.
    PinnedFile file;
    if (!file.open(pdfPath))
        return source;
    try {
        auto pdf = std::make_shared<QPDF>();
        pdf->setSuppressWarnings(true);
        const QByteArray fileName = QFile::encodeName(file.path());
        pdf->processFile(fileName.constData());
        source.printable = pdf->allowPrintLowRes();
        // Form fields and annotations print as they look on paper.
        QPDFAcroFormDocumentHelper(*pdf).generateAppearancesIfNeeded();
        source.pages = QPDFPageDocumentHelper(*pdf).getAllPages();
        for (QPDFPageObjectHelper &page : source.pages) {
            bool missing = false;
            for (QPDFAnnotationObjectHelper &annotation : page.getAnnotations())
                missing = missing || needsAppearance(annotation.getObjectHandle());
            source.unflattenable.push_back(missing);
        }
        QPDFPageDocumentHelper(*pdf).flattenAnnotations(an_print, an_invisible | an_hidden);
        source.placeable.assign(source.pages.size(), -1);
        source.pdf = pdf;
    } catch (const std::exception &) {
        return SourcePdf();
    }
    return source;
}

bool sameSize(double width, double height, const QPDFObjectHandle::Rectangle &box, int rotate)
{
    double boxWidth = std::abs(box.urx - box.llx);
    double boxHeight = std::abs(box.ury - box.lly);
    if (rotate % 180 != 0)
        std::swap(boxWidth, boxHeight);
    return std::abs(boxWidth - width) < 1.0 && std::abs(boxHeight - height) < 1.0;
}

// The checks of canPlacePdfPage for one page of a readable source.
bool checkPage(SourcePdf &source, const PdfPageView &view)
{
    // A repaired cross-reference table alone is common and harmless: what
    // counts is whether this page reads cleanly.
    QPDF &pdf = *source.pdf;
    const size_t warningsBefore = pdf.numWarnings();
    if (int(source.pages.size()) != view.pageCount || source.unflattenable.at(size_t(view.index)))
        return false;
    QPDFPageObjectHelper page = source.pages.at(size_t(view.index));
    QPDFObjectHandle mediaBox = page.getAttribute("/MediaBox", false);
    QPDFObjectHandle cropBox = page.getCropBox(false, false);
    if (!mediaBox.isRectangle() || !cropBox.isRectangle())
        return false;
    QPDFObjectHandle rotate = page.getAttribute("/Rotate", false);
    const int degrees = rotate.isInteger() ? int(rotate.getIntValue() % 360) : 0;
    if (!sameSize(view.width, view.height, cropBox.getArrayAsRectangle(), degrees))
        return false;
    Pl_Discard discard;
    page.pipeContents(&discard);
    return pdf.numWarnings() == warningsBefore;
}

QString fmt(double value)
{
    return QString::number(value, 'f', 4);
}

} // namespace

struct PrinterDc::Impl
{
    PrinterHandle printer;
    DeviceMode devMode;
    int dpiX = 300;
    int dpiY = 300;
    double paperWidth = 0;  // points
    double paperHeight = 0; // points
    double marginLeft = 0;  // points
    double marginTop = 0;   // points
    int horzRes = 0;
    int vertRes = 0;

    bool docStarted = false;
    bool pageOpen = false;
    QString documentName;
    QString outputFile;
    std::unique_ptr<QPDF> spool;
    QPDFObjectHandle page;
    std::string content;
    int resourceCounter = 0;
    int pageCount = 0;
    std::string minimumVersion = "1.4";
    std::map<QString, SourcePdf> sources;

    // A device rectangle in the spool page's coordinates (points, origin at
    // the bottom left of the paper).
    QPDFObjectHandle::Rectangle toPoints(int x, int y, int width, int height) const
    {
        const double left = marginLeft + x * 72.0 / dpiX;
        const double top = paperHeight - marginTop - y * 72.0 / dpiY;
        return {left, top - height * 72.0 / dpiY, left + width * 72.0 / dpiX, top};
    }

    std::string addResource(const char *prefix, QPDFObjectHandle object)
    {
        const std::string name = std::string("/") + prefix + std::to_string(++resourceCounter);
        page.getKey("/Resources").getKey("/XObject").replaceKey(name, object);
        return name;
    }

    SourcePdf &source(const QString &pdfPath);

    void resetDocument()
    {
        docStarted = false;
        pageOpen = false;
        spool.reset();
        page = QPDFObjectHandle();
        content.clear();
        pageCount = 0;
        sources.clear();
        minimumVersion = "1.4";
    }
};

PrinterDc::PrinterDc()
    : m_impl(std::make_unique<Impl>())
{
}

PrinterDc::~PrinterDc() = default;

std::unique_ptr<PrinterDc> createPrinterDc(const QString &printerName, const DeviceMode &devMode)
{
    PrinterHandle printer;
    DeviceMode defaults;
    if (!openPrinter(printerName, &printer) || documentPropertiesSize(printer) < 1)
        return nullptr;
    documentPropertiesRead(printer, &defaults);
    return createPrinterDc(std::move(printer), defaults, devMode);
}

std::unique_ptr<PrinterDc> createPrinterDc(PrinterHandle printer, const DeviceMode &defaults,
                                           const DeviceMode &devMode)
{
    if (!printer.isOpen()) {
        setLastError(ErrorInvalidParameter);
        return nullptr;
    }
    std::unique_ptr<PrinterDc> dc(new PrinterDc);
    PrinterDc::Impl &d = *dc->m_impl;
    d.printer = std::move(printer);
    PrinterHandle::State *state = d.printer.state();

    const auto resolution = [](int wanted, int fallback) {
        return wanted > 0 ? int(wanted) : fallback > 0 ? int(fallback) : 300;
    };
    const bool forced = devMode.has(DM_PRINTQUALITY) && devMode.dmPrintQuality > 0;
    d.dpiX = resolution(forced ? devMode.dmPrintQuality : 0, defaults.dmPrintQuality);
    d.dpiY = resolution(forced ? (devMode.dmYResolution > 0 ? devMode.dmYResolution
                                                            : devMode.dmPrintQuality)
                               : 0,
                        defaults.dmYResolution);
    d.devMode = devMode;

    QString media = devMode.has(DM_PAPERSIZE) ? mediaForRecord(state, devMode) : QString();
    if (media.isEmpty())
        media = mediaForRecord(state, defaults);
    const QByteArray mediaName = media.toUtf8();
    pwg_media_t *pwg = pwgMediaForPWG(mediaName.constData());
    if (!pwg)
        pwg = pwgMediaForPWG("iso_a4_210x297mm");
    // A size libcups made up lives in a buffer its next call may reuse.
    const int width = pwg->width;
    const int length = pwg->length;

    cups_size_t size{};
    const bool known = cupsGetDestMediaByName(state->http, state->dest, state->info,
                                              mediaName.constData(), CUPS_MEDIA_FLAGS_DEFAULT,
                                              &size);
    const int left = known ? size.left : 0;
    const int right = known ? size.right : 0;
    const int top = known ? size.top : 0;
    const int bottom = known ? size.bottom : 0;
    d.paperWidth = width * kPointsPerHundredthMm;
    d.paperHeight = length * kPointsPerHundredthMm;
    d.marginLeft = left * kPointsPerHundredthMm;
    d.marginTop = top * kPointsPerHundredthMm;
    d.horzRes = int(std::lround((width - left - right) / 2540.0 * d.dpiX));
    d.vertRes = int(std::lround((length - top - bottom) / 2540.0 * d.dpiY));
    return dc;
}

int getDeviceCaps(const PrinterDc *dc, int index)
{
    if (!dc)
        return 0;
    const PrinterDc::Impl &d = *dc->impl();
    switch (index) {
    case HORZRES: return d.horzRes;
    case VERTRES: return d.vertRes;
    case LOGPIXELSX: return d.dpiX;
    case LOGPIXELSY: return d.dpiY;
    default: return 0;
    }
}

int startDoc(PrinterDc *dc, const QString &documentName, const QString &outputFile)
{
    if (!dc || dc->impl()->docStarted) {
        setLastError(ErrorInvalidParameter);
        return 0;
    }
    PrinterDc::Impl &d = *dc->impl();
    d.resetDocument();
    d.spool = std::make_unique<QPDF>();
    d.spool->emptyPDF();
    d.documentName = documentName;
    d.outputFile = outputFile;
    d.docStarted = true;
    return 1;
}

int startPage(PrinterDc *dc)
{
    if (!dc || !dc->impl()->docStarted || dc->impl()->pageOpen) {
        setLastError(ErrorInvalidParameter);
        return 0;
    }
    PrinterDc::Impl &d = *dc->impl();
    try {
        d.page = d.spool->makeIndirectObject(QPDFObjectHandle::parse(
            QStringLiteral("<< /Type /Page /MediaBox [0 0 %1 %2] /Resources << /XObject << >> >> >>")
                .arg(fmt(d.paperWidth), fmt(d.paperHeight))
                .toStdString()));
    } catch (const std::exception &) {
        setLastError(ErrorNotEnoughMemory);
        return 0;
    }
    d.content.clear();
    d.pageOpen = true;
    return 1;
}

int endPage(PrinterDc *dc)
{
    if (!dc || !dc->impl()->pageOpen) {
        setLastError(ErrorInvalidParameter);
        return 0;
    }
    PrinterDc::Impl &d = *dc->impl();
    try {
        d.page.replaceKey("/Contents", QPDFObjectHandle::newStream(d.spool.get(), d.content));
        QPDFPageDocumentHelper(*d.spool).addPage(QPDFPageObjectHelper(d.page), false);
    } catch (const std::exception &) {
        setLastError(ErrorNotEnoughMemory);
        return 0;
    }
    d.pageOpen = false;
    ++d.pageCount;
    return 1;
}

int abortDoc(PrinterDc *dc)
{
    if (!dc || !dc->impl()->docStarted) {
        setLastError(ErrorInvalidParameter);
        return 0;
    }
    // Nothing was sent yet: dropping the spool leaves no job and no file.
    dc->impl()->resetDocument();
    return 1;
}

SourcePdf &PrinterDc::Impl::source(const QString &pdfPath)
{
    // Known by the file itself: a name such as a pinned descriptor's may
    // stand for another file later in the same document.
    struct stat info{};
    const QByteArray name = QFile::encodeName(pdfPath);
    const QString key = ::stat(name.constData(), &info) == 0
        ? QStringLiteral("%1:%2").arg(info.st_dev).arg(info.st_ino)
        : pdfPath;
    auto found = sources.find(key);
    if (found == sources.end())
        found = sources.emplace(key, readSource(pdfPath)).first;
    return found->second;
}

bool canPlacePdfPage(PrinterDc *dc, const QString &pdfPath, const PdfPageView &view)
{
    if (!dc || !dc->impl()->docStarted)
        return false;
    SourcePdf &source = dc->impl()->source(pdfPath);
    if (!source.pdf || !source.printable || view.index < 0
        || view.index >= int(source.pages.size()))
        return false;
    int &verdict = source.placeable.at(size_t(view.index));
    if (verdict < 0) {
        try {
            verdict = checkPage(source, view) ? 1 : 0;
        } catch (const std::exception &) {
            verdict = 0;
        }
    }
    return verdict == 1;
}

bool drawPdfPage(PrinterDc *dc, const QString &pdfPath, int pageIndex, int x, int y, int width,
                 int height, QString *message)
{
    if (!dc || !dc->impl()->pageOpen) {
        *message = QStringLiteral("No page is open on the printer device.");
        return false;
    }
    PrinterDc::Impl &d = *dc->impl();
    try {
        SourcePdf &found = d.source(pdfPath);
        if (!found.pdf) {
            *message = QStringLiteral("The printer device could not read the PDF document.");
            return false;
        }
        if (!found.printable) {
            *message = QStringLiteral("The PDF document does not allow printing.");
            return false;
        }
        if (found.pdf->getPDFVersion() > d.minimumVersion)
            d.minimumVersion = found.pdf->getPDFVersion();
        std::vector<QPDFPageObjectHelper> &pages = found.pages;
        if (pageIndex < 0 || pageIndex >= int(pages.size())) {
            *message = QStringLiteral("The PDF document has no page %1.").arg(pageIndex + 1);
            return false;
        }
        QPDFPageObjectHelper source = pages.at(size_t(pageIndex));
        // A page whose content cannot be decoded would make the whole spool
        // unwritable: find it here, where it can be named.
        Pl_Discard discard;
        source.pipeContents(&discard);
        // The form is bounded by the trim box; print what the crop box shows.
        source.getObjectHandle().replaceKey("/TrimBox", source.getCropBox());
        QPDFObjectHandle form = d.spool->copyForeignObject(source.getFormXObjectForPage(true));
        const std::string name = d.addResource("Fx", form);
        d.content += QPDFPageObjectHelper(d.page).placeFormXObject(
            form, name, d.toPoints(x, y, width, height), true, true, true);
        d.content += "\n";
    } catch (const std::exception &) {
        *message = QStringLiteral("The printer device could not draw page %1.").arg(pageIndex + 1);
        return false;
    }
    return true;
}

JpegInfo inspectJpeg(const QByteArray &jpeg)
{
    JpegInfo info;
    const auto byte = [&](qsizetype i) { return quint8(jpeg.at(i)); };
    if (jpeg.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8)
        return info;
    qsizetype i = 2;
    while (i + 4 <= jpeg.size()) {
        if (byte(i) != 0xFF)
            return info;
        const quint8 marker = byte(i + 1);
        if (marker == 0xFF) {
            ++i;
            continue;
        }
        const int length = (byte(i + 2) << 8) | byte(i + 3);
        if (length < 2 || i + 2 + length > jpeg.size())
            return info;
        if (marker == 0xEE && length >= 12 && jpeg.mid(i + 4, 5) == "Adobe")
            info.adobeInverted = true;
        // Start of frame (baseline, extended, progressive): size and components.
        if ((marker >= 0xC0 && marker <= 0xC2) && length >= 8) {
            if (byte(i + 4) != 8)
                return info;
            info.height = (byte(i + 5) << 8) | byte(i + 6);
            info.width = (byte(i + 7) << 8) | byte(i + 8);
            info.components = byte(i + 9);
            info.valid = info.width > 0 && info.height > 0
                && (info.components == 1 || info.components == 3 || info.components == 4);
            info.adobeInverted = info.adobeInverted && info.components == 4;
            return info;
        }
        if (marker == 0xDA || marker == 0xD9)
            return info;
        i += 2 + length;
    }
    return info;
}

int extEscape(PrinterDc *dc, int escape, const QByteArray &input, QByteArray *output)
{
    if (!dc)
        return 0;
    if (escape == QUERYESCSUPPORT) {
        if (input.size() < 4)
            return 0;
        const qint32 asked = *reinterpret_cast<const qint32 *>(input.constData());
        return asked == CHECKJPEGFORMAT || asked == QUERYESCSUPPORT ? 1 : 0;
    }
    if (escape == CHECKJPEGFORMAT) {
        const qint32 ok = inspectJpeg(input).valid ? 1 : 0;
        if (output)
            *output = QByteArray(reinterpret_cast<const char *>(&ok), sizeof ok);
        return 1;
    }
    return 0;
}

namespace {

// One image of the page: its stream, its name among the page's resources
// and where it is drawn.
bool placeImage(PrinterDc::Impl &d, QPDFObjectHandle image, int x, int y, int width, int height)
{
    const std::string name = d.addResource("Im", image);
    const auto rect = d.toPoints(x, y, width, height);
    d.content += QStringLiteral("q %1 0 0 %2 %3 %4 cm %5 Do Q\n")
                     .arg(fmt(rect.urx - rect.llx), fmt(rect.ury - rect.lly), fmt(rect.llx),
                          fmt(rect.lly), QString::fromStdString(name))
                     .toStdString();
    return true;
}

QPDFObjectHandle imageStream(QPDF *pdf, std::string data, const char *filter, int pixelWidth,
                             int pixelHeight, const char *colorSpace)
{
    QPDFObjectHandle image = QPDFObjectHandle::newStream(pdf);
    image.replaceStreamData(std::move(data), QPDFObjectHandle::newName(filter),
                            QPDFObjectHandle::newNull());
    QPDFObjectHandle dict = image.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(pixelWidth));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(pixelHeight));
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
    dict.replaceKey("/ColorSpace", QPDFObjectHandle::newName(colorSpace));
    return image;
}

} // namespace

int stretchRgb(PrinterDc *dc, int x, int y, int width, int height, int pixelWidth,
               int pixelHeight, const QByteArray &rgb)
{
    if (!dc || !dc->impl()->pageOpen || pixelWidth < 1 || pixelHeight < 1
        || rgb.size() != qsizetype(pixelWidth) * pixelHeight * 3)
        return 0;
    // Deflated here: a page of pixels is large, and the spool is kept in
    // memory until the document ends.
    uLongf length = compressBound(uLong(rgb.size()));
    std::string deflated(length, '\0');
    if (compress2(reinterpret_cast<Bytef *>(deflated.data()), &length,
                  reinterpret_cast<const Bytef *>(rgb.constData()), uLong(rgb.size()), Z_BEST_SPEED)
        != Z_OK)
        return 0;
    deflated.resize(length);
    PrinterDc::Impl &d = *dc->impl();
    try {
        return placeImage(d, imageStream(d.spool.get(), std::move(deflated), "/FlateDecode",
                                         pixelWidth, pixelHeight, "/DeviceRGB"),
                          x, y, width, height)
            ? 1
            : 0;
    } catch (const std::exception &) {
        return 0;
    }
}

int stretchJpeg(PrinterDc *dc, int x, int y, int width, int height, int, int,
                const QByteArray &jpeg)
{
    if (!dc || !dc->impl()->pageOpen)
        return 0;
    const JpegInfo info = inspectJpeg(jpeg);
    if (!info.valid)
        return 0;
    PrinterDc::Impl &d = *dc->impl();
    try {
        const char *space = info.components == 1 ? "/DeviceGray"
            : info.components == 3               ? "/DeviceRGB"
                                                 : "/DeviceCMYK";
        QPDFObjectHandle image =
            imageStream(d.spool.get(), std::string(jpeg.constData(), size_t(jpeg.size())),
                        "/DCTDecode", info.width, info.height, space);
        if (info.adobeInverted)
            image.getDict().replaceKey("/Decode", QPDFObjectHandle::parse("[1 0 1 0 1 0 1 0]"));
        placeImage(d, image, x, y, width, height);
    } catch (const std::exception &) {
        return 0;
    }
    return 1;
}

int endDoc(PrinterDc *dc)
{
    if (!dc || !dc->impl()->docStarted) {
        setLastError(ErrorInvalidParameter);
        return 0;
    }
    PrinterDc::Impl &d = *dc->impl();
    if (d.pageOpen && endPage(dc) <= 0) {
        d.resetDocument();
        return 0;
    }
    // A filtering queue would leave a job of no pages stopped.
    if (d.pageCount == 0) {
        d.resetDocument();
        setLastError(ErrorInvalidData);
        return 0;
    }

    QTemporaryFile spoolFile(QDir::temp().filePath(QStringLiteral("dunmarrow-spool-XXXXXX.pdf")));
    if (!spoolFile.open()) {
        d.resetDocument();
        setLastError(ErrorAccessDenied);
        return 0;
    }
    spoolFile.close();
    try {
        // The writer keeps the name's pointer until write() returns.
        const QByteArray fileName = QFile::encodeName(spoolFile.fileName());
        QPDFWriter writer(*d.spool, fileName.constData());
        writer.setMinimumPDFVersion(d.minimumVersion);
        // Streams go as they are: pages were checked as they were placed,
        // and rendered pixels are deflated already.
        writer.setDecodeLevel(qpdf_dl_none);
        writer.write();
    } catch (const std::exception &) {
        d.resetDocument();
        setLastError(ErrorInvalidData);
        return 0;
    }

    OptionList options = cupsOptionsFor(d.printer, d.devMode);
    if (d.devMode.has(DM_COPIES) && d.devMode.dmCopies > 1)
        options << qMakePair(QStringLiteral("collate"), QStringLiteral("true"));
    int jobId = 1;
    const bool ok = d.outputFile.isEmpty()
        ? submitDocument(d.printer, spoolFile.fileName(), d.documentName, CUPS_FORMAT_PDF, options,
                         &jobId)
        : filterToFile(d.printer, spoolFile.fileName(), options, d.outputFile);
    d.resetDocument();
    return ok ? std::max(jobId, 1) : 0;
}

} // namespace Platform
