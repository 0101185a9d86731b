#include "platform/PrinterDc.h"

#include "platform/LastError.h"
#include "platform/PdfFileSource.h"
#include "platform/PrinterDcState.h"
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
#include <cstring>
#include <map>

#include <sys/stat.h>
#include <zlib.h>

namespace Platform {

namespace {

constexpr double kPointsPerHundredthMm = 72.0 / 2540.0;

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
    auto input = std::make_shared<PdfFileSource>(pdfPath);
    if (!input->isOpen())
        return source;
    try {
        auto pdf = std::make_shared<QPDF>();
        pdf->setSuppressWarnings(true);
        pdf->processInputSource(input);
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
        source.mayHoldImages.assign(source.pages.size(), true);
        source.pdf = pdf;
    } catch (const std::exception &) {
        return SourcePdf();
    }
    return source;
}

// Reads a page's contents to their end, noting whether an inline image
// ("BI" as an operator) may be among them. Erring towards yes is harmless.
class InlineImageWatch : public Pipeline
{
public:
    InlineImageWatch()
        : Pipeline("inline image watch", nullptr)
    {
    }
    void write(unsigned char const *data, size_t length) override
    {
        for (size_t i = 0; i < length; ++i)
            step(data[i]);
    }
    void finish() override { step(' '); }
    bool found = false;

private:
    static bool isDelimiter(unsigned char c)
    {
        return std::strchr(" \t\r\n\f()<>[]{}/%", c) != nullptr || c == 0;
    }
    void step(unsigned char c)
    {
        found = found || (isDelimiter(c) && m_last[1] == 'I' && m_last[0] == 'B' && m_beforeB);
        m_beforeB = isDelimiter(m_last[0]);
        m_last[0] = m_last[1];
        m_last[1] = c;
    }
    unsigned char m_last[2] = {' ', ' '};
    bool m_beforeB = true;
};

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
    InlineImageWatch contents;
    page.pipeContents(&contents);
    const bool clean = pdf.numWarnings() == warningsBefore;
    // Only whether the page may hold an image, from its resources: what
    // qpdf says while loading them does not make the page less placeable.
    try {
        source.mayHoldImages.at(size_t(view.index)) = contents.found || !page.getImages().empty();
    } catch (const std::exception &) {
        source.mayHoldImages.at(size_t(view.index)) = true;
    }
    return clean;
}

// The page as a form XObject of the spool. One content stream goes in as
// it is stored, still encoded: decoding and deflating it again would cost
// more than the rest of the page. Several are joined and deflated once here,
// their bytes waiting in the spool's image file. Null when they cannot be
// stored.
QPDFObjectHandle spoolForm(PrinterDc::Impl &d, QPDFPageObjectHelper &page)
{
    QPDFObjectHandle form = page.getFormXObjectForPage(true);
    QPDFObjectHandle contents = page.getObjectHandle().getKey("/Contents");
    if (contents.isArray() && contents.getArrayNItems() == 1)
        contents = contents.getArrayItem(0);
    if (contents.isStream() && !contents.getDict().hasKey("/F")) {
        QPDFObjectHandle stored = contents.copyStream();
        QPDFObjectHandle formDict = form.getDict();
        for (const std::string &key : formDict.getKeys())
            stored.getDict().replaceKey(key, formDict.getKey(key));
        return d.spool->copyForeignObject(stored);
    }
    const std::shared_ptr<Buffer> joined = form.getStreamData(qpdf_dl_generalized);
    uLongf length = compressBound(uLong(joined->getSize()));
    std::string deflated(length, '\0');
    if (compress2(reinterpret_cast<Bytef *>(deflated.data()), &length, joined->getBuffer(),
                  uLong(joined->getSize()), Z_BEST_SPEED)
        != Z_OK)
        return QPDFObjectHandle();
    QPDFObjectHandle copy = d.spool->copyForeignObject(form);
    copy.getDict().removeKey("/DecodeParms"); // plainly deflated here
    if (!d.storeStreamData(copy, deflated.data(), qint64(length), "/FlateDecode"))
        return QPDFObjectHandle();
    return copy;
}

} // namespace

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

bool canReadPdfDocument(PrinterDc *dc, const QString &pdfPath, int pageCount)
{
    if (!dc || !dc->impl()->docStarted)
        return false;
    const SourcePdf &source = dc->impl()->source(pdfPath);
    return source.pdf && int(source.pages.size()) == pageCount;
}

bool canPlacePdfPage(PrinterDc *dc, const QString &pdfPath, const PdfPageView &view,
                     bool *mayHoldImages)
{
    if (mayHoldImages)
        *mayHoldImages = true;
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
    if (mayHoldImages && verdict == 1)
        *mayHoldImages = source.mayHoldImages.at(size_t(view.index));
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
        // unwritable: find it here, where it can be named (once per page).
        if (found.placeable.at(size_t(pageIndex)) != 1) {
            Pl_Discard discard;
            source.pipeContents(&discard);
        }
        // The form is bounded by the trim box; print what the crop box shows.
        source.getObjectHandle().replaceKey("/TrimBox", source.getCropBox());
        QPDFObjectHandle form = spoolForm(d, source);
        if (!form.isStream()) {
            *message = QStringLiteral("The printer device could not draw page %1.").arg(pageIndex + 1);
            return false;
        }
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
        // contents keep the encoding they were stored with, rendered pixels
        // are deflated already, and what is left is each page's few
        // drawing operators.
        writer.setDecodeLevel(qpdf_dl_none);
        writer.setCompressStreams(false);
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
