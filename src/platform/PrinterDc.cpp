#include "platform/PrinterDc.h"

#include "platform/LastError.h"
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

namespace Platform {

namespace {

constexpr double kPointsPerHundredthMm = 72.0 / 2540.0;

// A source PDF, opened once per document and kept until the spool is
// written (the spool refers to its objects until then).
struct SourcePdf
{
    std::shared_ptr<QPDF> pdf;
    std::vector<QPDFPageObjectHelper> pages;
};

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
    std::unique_ptr<PrinterDc> dc(new PrinterDc);
    PrinterDc::Impl &d = *dc->m_impl;
    if (!openPrinter(printerName, &d.printer) || documentPropertiesSize(d.printer) < 1)
        return nullptr;
    PrinterHandle::State *state = d.printer.state();

    DeviceMode defaults;
    documentPropertiesRead(d.printer, &defaults);
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

bool drawPdfPage(PrinterDc *dc, const QString &pdfPath, int pageIndex, int x, int y, int width,
                 int height, QString *message)
{
    if (!dc || !dc->impl()->pageOpen) {
        *message = QStringLiteral("No page is open on the printer device.");
        return false;
    }
    PrinterDc::Impl &d = *dc->impl();
    try {
        auto found = d.sources.find(pdfPath);
        if (found == d.sources.end()) {
            auto pdf = std::make_shared<QPDF>();
            pdf->setSuppressWarnings(true);
            const QByteArray fileName = QFile::encodeName(pdfPath);
            pdf->processFile(fileName.constData());
            if (!pdf->allowPrintLowRes()) {
                *message = QStringLiteral("The PDF document does not allow printing.");
                return false;
            }
            // Form fields and annotations print as they look on paper.
            QPDFAcroFormDocumentHelper(*pdf).generateAppearancesIfNeeded();
            QPDFPageDocumentHelper(*pdf).flattenAnnotations(an_print, an_invisible | an_hidden);
            if (pdf->getPDFVersion() > d.minimumVersion)
                d.minimumVersion = pdf->getPDFVersion();
            SourcePdf source{pdf, QPDFPageDocumentHelper(*pdf).getAllPages()};
            found = d.sources.emplace(pdfPath, std::move(source)).first;
        }
        std::vector<QPDFPageObjectHelper> &pages = found->second.pages;
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
    } catch (const std::exception &error) {
        *message = QStringLiteral("The printer device could not draw page %1: %2")
                       .arg(pageIndex + 1)
                       .arg(QString::fromLocal8Bit(error.what()));
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
        QPDFObjectHandle image = QPDFObjectHandle::newStream(d.spool.get());
        image.replaceStreamData(std::string(jpeg.constData(), size_t(jpeg.size())),
                                QPDFObjectHandle::newName("/DCTDecode"),
                                QPDFObjectHandle::newNull());
        QPDFObjectHandle dict = image.getDict();
        dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
        dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
        dict.replaceKey("/Width", QPDFObjectHandle::newInteger(info.width));
        dict.replaceKey("/Height", QPDFObjectHandle::newInteger(info.height));
        dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
        const char *space = info.components == 1 ? "/DeviceGray"
            : info.components == 3               ? "/DeviceRGB"
                                                 : "/DeviceCMYK";
        dict.replaceKey("/ColorSpace", QPDFObjectHandle::newName(space));
        if (info.adobeInverted)
            dict.replaceKey("/Decode", QPDFObjectHandle::parse("[1 0 1 0 1 0 1 0]"));
        const std::string name = d.addResource("Im", image);
        const auto rect = d.toPoints(x, y, width, height);
        d.content += QStringLiteral("q %1 0 0 %2 %3 %4 cm %5 Do Q\n")
                         .arg(fmt(rect.urx - rect.llx), fmt(rect.ury - rect.lly), fmt(rect.llx),
                              fmt(rect.lly), QString::fromStdString(name))
                         .toStdString();
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
