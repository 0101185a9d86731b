#include "PdfFactory.h"
#include "TestMain.h"

#include "engines/PdfiumPrinting.h"
#include "platform/DeviceMode.h"
#include "platform/LpOptions.h"
#include "platform/PrinterDc.h"
#include "platform/Spooler.h"

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <functional>
#include <thread>

using namespace Platform;

namespace {

const QString kRaw = QString::fromLatin1(PrivateCups::kRawQueue);
const QString kPs = QString::fromLatin1(PrivateCups::kPostScriptQueue);

// What one page of a spool document holds.
struct SpoolPage
{
    double width = 0;
    double height = 0;
    QRectF placed;           // where the drawing went, in points
    bool isImage = false;    // an image placed unchanged (else a page form)
    QByteArray imageBytes;   // the image's stream data as stored
    QByteArray rendered;     // the RGB pixels of every rendered band, top to bottom
};

bool hasPixel(const QByteArray &rgb, const std::function<bool(int, int, int)> &wanted)
{
    for (qsizetype i = 0; i + 2 < rgb.size(); i += 3)
        if (wanted(quint8(rgb[i]), quint8(rgb[i + 1]), quint8(rgb[i + 2])))
            return true;
    return false;
}

QRectF transformed(const QRectF &box, const QList<double> &m)
{
    const auto map = [&](double x, double y) {
        return QPointF(m[0] * x + m[2] * y + m[4], m[1] * x + m[3] * y + m[5]);
    };
    const QPolygonF corners{map(box.left(), box.top()), map(box.right(), box.top()),
                            map(box.left(), box.bottom()), map(box.right(), box.bottom())};
    return corners.boundingRect();
}

QList<SpoolPage> readSpool(const QByteArray &pdfBytes)
{
    QList<SpoolPage> result;
    if (pdfBytes.isEmpty())
        return result;
    QPDF pdf;
    pdf.processMemoryFile("spool", pdfBytes.constData(), size_t(pdfBytes.size()));
    for (QPDFPageObjectHelper page : QPDFPageDocumentHelper(pdf).getAllPages()) {
        SpoolPage out;
        const auto box = page.getMediaBox().getArrayAsRectangle();
        out.width = box.urx - box.llx;
        out.height = box.ury - box.lly;
        const std::string content = page.getObjectHandle().getKey("/Contents").getStreamData()->getBuffer()
            ? std::string(reinterpret_cast<const char *>(
                              page.getObjectHandle().getKey("/Contents").getStreamData()->getBuffer()),
                          page.getObjectHandle().getKey("/Contents").getStreamData()->getSize())
            : std::string();
        static const QRegularExpression cm(
            QStringLiteral("([-\\d.]+) ([-\\d.]+) ([-\\d.]+) ([-\\d.]+) ([-\\d.]+) ([-\\d.]+) cm\\s*(/\\w+) Do"));
        const auto match = cm.match(QString::fromStdString(content));
        if (match.hasMatch()) {
            QList<double> m;
            for (int i = 1; i <= 6; ++i)
                m << match.captured(i).toDouble();
            QPDFObjectHandle object =
                page.getObjectHandle().getKey("/Resources").getKey("/XObject").getKey(
                    match.captured(7).toStdString());
            out.isImage = object.getDict().getKey("/Subtype").getName() == "/Image";
            QRectF unit(0, 0, 1, 1);
            if (!out.isImage) {
                const auto bbox = object.getDict().getKey("/BBox").getArrayAsRectangle();
                unit = QRectF(QPointF(bbox.llx, bbox.lly), QPointF(bbox.urx, bbox.ury));
            } else {
                auto raw = object.getRawStreamData();
                out.imageBytes = QByteArray(reinterpret_cast<const char *>(raw->getBuffer()),
                                            qsizetype(raw->getSize()));
            }
            out.placed = transformed(unit, m);
        }
        for (auto &[name, object] : page.getObjectHandle().getKey("/Resources").getKey("/XObject").ditems()) {
            if (object.getDict().getKey("/Subtype").isNameAndEquals("/Image")
                && object.getDict().getKey("/Filter").isNameAndEquals("/FlateDecode")) {
                auto data = object.getStreamData(qpdf_dl_generalized);
                out.rendered.append(reinterpret_cast<const char *>(data->getBuffer()),
                                    qsizetype(data->getSize()));
            }
        }
        result << out;
    }
    return result;
}

using PrivateCups::jobInfo;
using PrivateCups::lastJobId;

// Prints through the device context into a file, as the cache builder does,
// and reads the spool back (the raw queue's data is the spool itself).
struct DcRun
{
    bool ok = false;
    int pages = 0;
    int passThrough = 0;
    QString message;
    QByteArray output;
};

DcRun printToFile(const QString &pdf, const QString &printer, const QString &outputFile)
{
    DcRun run;
    PrinterHandle handle;
    DeviceMode dm;
    if (!openPrinter(printer, &handle) || documentPropertiesRead(handle, &dm) != IDOK)
        return run;
    std::unique_ptr<PrinterDc> dc = createPrinterDc(printer, dm);
    if (!dc || startDoc(dc.get(), "test", outputFile) <= 0)
        return run;
    run.ok = printPdfToDc(pdf, dc.get(), getDeviceCaps(dc.get(), HORZRES),
                          getDeviceCaps(dc.get(), VERTRES), &run.pages, &run.message, QString(),
                          &run.passThrough);
    if (run.ok)
        run.ok = endDoc(dc.get()) > 0;
    else
        abortDoc(dc.get());
    QFile file(outputFile);
    if (file.open(QIODevice::ReadOnly))
        run.output = file.readAll();
    return run;
}

} // namespace

class TestPdfiumPrinting : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_lastRawJob = 0;

    QString pdf(const QString &name, const QList<PdfFactory::Page> &pages)
    {
        const QString path = m_dir.filePath(name);
        if (!PdfFactory::write(path, pages))
            qWarning("could not write %s", qPrintable(path));
        return path;
    }

    QByteArray printToRaw(const QString &file, PdfiumPrintRequest request, int *pages = nullptr)
    {
        request.pdfPath = file;
        request.printerName = kRaw;
        const int before = lastJobId(kRaw);
        int printed = 0;
        QString message;
        if (!printPdfWithPdfium(request, &printed, &message)) {
            qWarning("print failed: %s", qPrintable(message));
            return {};
        }
        if (pages)
            *pages = printed;
        const int job = PrivateCups::waitForJobAfter(kRaw, before, QFileInfo(file).fileName());
        m_lastRawJob = job;
        return PrivateCups::waitForJobOutput(kRaw, job);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(PrivateCups::isAvailable()); }
    void init() { restoreLpOptions(LpOptionsSnapshot()); }

    void fittingRules()
    {
        // Taller than the area: full height, centred across.
        FittedPage fit = fitPage(500, 1000, 1000, 1000);
        QCOMPARE(fit.width, 500);
        QCOMPARE(fit.height, 1000);
        QCOMPARE(fit.offsetX, 250);
        QCOMPARE(fit.offsetY, 0);
        // Wider: full width, centred down; landscape on portrait is not turned.
        fit = fitPage(842, 595, 2480, 3508);
        QCOMPARE(fit.width, 2480);
        QCOMPARE(fit.height, 1752); // 1752.49
        QCOMPARE(fit.offsetY, (3508 - 1752) / 2);
        // Rounded half away from zero, never below one pixel.
        fit = fitPage(1, 1000, 100, 100);
        QCOMPARE(fit.width, 1);
    }

    void pagesArriveFittedAndCentred()
    {
        QList<PdfFactory::Page> pages = PdfFactory::textPages(1, QSizeF(595, 842));
        pages << PdfFactory::textPages(1, QSizeF(612, 792)).first();
        pages << PdfFactory::textPages(1, QSizeF(842, 595)).first();
        int printed = 0;
        const QByteArray output = printToRaw(pdf("mixed.pdf", pages), {}, &printed);
        QCOMPARE(printed, 3);
        const QList<SpoolPage> spool = readSpool(output);
        QCOMPARE(spool.size(), 3);
        for (const SpoolPage &page : spool) {
            // The raw queue's paper: A4.
            QVERIFY(qAbs(page.width - 595.3) < 0.5);
            QVERIFY(qAbs(page.height - 841.9) < 0.5);
            QVERIFY(!page.isImage);
        }
        QVERIFY(qAbs(spool[0].placed.width() - 595.3) < 1);
        QVERIFY(qAbs(spool[0].placed.height() - 841.9) < 1);
        // Letter on A4: fills the width, centred vertically.
        QVERIFY(qAbs(spool[1].placed.width() - 595.3) < 1);
        QVERIFY(qAbs(spool[1].placed.center().y() - 421) < 1);
        // Landscape on portrait: small and centred, not rotated.
        QVERIFY(qAbs(spool[2].placed.width() - 595.3) < 1);
        QVERIFY(qAbs(spool[2].placed.height() - 595.3 * 595 / 842) < 1.5);
        QVERIFY(qAbs(spool[2].placed.center().y() - 421) < 1);
    }

    void scannedPagesPassTheirJpegThrough()
    {
        QList<PdfFactory::Page> pages = PdfFactory::scannedPages(1, 1240, 1754);
        PdfFactory::Page flate = PdfFactory::scannedPages(1, 1240, 1754).first();
        flate.images[0].filters = QStringList{"FlateDecode", "DCTDecode"};
        pages << flate;
        PdfFactory::Page wrongOrder = PdfFactory::scannedPages(1, 1240, 1754).first();
        wrongOrder.images[0].filters = QStringList{"DCTDecode", "FlateDecode"};
        pages << wrongOrder;

        const DcRun run = printToFile(pdf("scans.pdf", pages), kRaw, m_dir.filePath("scans.out"));
        QVERIFY2(run.ok, qPrintable(run.message));
        QCOMPARE(run.pages, 3);
        QCOMPARE(run.passThrough, 2);
        const QList<SpoolPage> spool = readSpool(run.output);
        const QByteArray source = PdfFactory::jpegBytes(1240, 1754);
        QVERIFY(spool[0].isImage);
        QCOMPARE(spool[0].imageBytes, source);
        QVERIFY(spool[1].isImage);
        QCOMPARE(spool[1].imageBytes, source);
        QVERIFY(!spool[2].isImage);
        QVERIFY(qAbs(spool[0].placed.width() - 595.3) < 1);
    }

    // Past 16 MB of image data PDFium's document is opened again to let go
    // of what it read: no page is lost or repeated on the way.
    void longScanPassesThroughWhole()
    {
        const QList<PdfFactory::Page> pages = PdfFactory::scannedPages(190, 1000, 1400);
        const DcRun run = printToFile(pdf("long scan.pdf", pages), kRaw, m_dir.filePath("long.out"));
        QVERIFY2(run.ok, qPrintable(run.message));
        QCOMPARE(run.pages, 190);
        QCOMPARE(run.passThrough, 190);
        const QList<SpoolPage> spool = readSpool(run.output);
        QCOMPARE(spool.size(), 190);
        QCOMPARE(spool.last().imageBytes, PdfFactory::jpegBytes(1000, 1400));
        QVERIFY(PdfFactory::jpegBytes(1000, 1400).size() * 190 > 16 * 1024 * 1024);
    }

    // Which scanned pages go as their JPEG and which as the page itself.
    void scannedPageRules_data()
    {
        QTest::addColumn<PdfFactory::Page>("page");
        QTest::addColumn<bool>("passesThrough");
        PdfFactory::Page base = PdfFactory::scannedPages(1, 1240, 1754).first();
        PdfFactory::Page larger = base;
        larger.images[0].rect = QRectF(-10, -10, 595 * 1.05, 842);
        QTest::newRow("slightly larger than the page") << larger << true;
        PdfFactory::Page visible = base;
        visible.visibleText = "Stamped";
        QTest::newRow("visible text") << visible << false;
        PdfFactory::Page annotated = base;
        annotated.annotation = true;
        QTest::newRow("annotation") << annotated << false;
        PdfFactory::Page rotated = base;
        rotated.rotate = 90;
        QTest::newRow("rotated") << rotated << false;
        PdfFactory::Page small = base;
        small.images[0].rect = QRectF(0, 0, 595 * 0.89, 842);
        QTest::newRow("89% of the page") << small << false;
        PdfFactory::Page lowRes = base;
        lowRes.images[0].pixelWidth = 799;
        QTest::newRow("799 pixels") << lowRes << false;
        PdfFactory::Page two = base;
        two.images << two.images.first();
        QTest::newRow("two images") << two << false;
        PdfFactory::Page lab = base;
        lab.images[0].colorSpace = "[/Lab << /WhitePoint [0.9505 1 1.089] >>]";
        QTest::newRow("Lab colours") << lab << false;
    }

    void scannedPageRules()
    {
        QFETCH(PdfFactory::Page, page);
        QFETCH(bool, passesThrough);
        const DcRun run = printToFile(pdf("render.pdf", {page}), kRaw, m_dir.filePath("render.out"));
        QVERIFY2(run.ok, qPrintable(run.message));
        QCOMPARE(run.passThrough, passesThrough ? 1 : 0);
        QCOMPARE(readSpool(run.output).first().isImage, passesThrough);
    }

    void postScriptQueueShowsCopiesAndDuplex()
    {
        PdfiumPrintRequest request;
        request.pdfPath = pdf("duplex.pdf", PdfFactory::textPages(3));
        request.printerName = kPs;
        request.duplex = true;
        request.copies = 2;
        request.paperKey = "A4";
        const int before = lastJobId(kPs);
        int pages = 0;
        QString message;
        QVERIFY2(printPdfWithPdfium(request, &pages, &message), qPrintable(message));
        QCOMPARE(pages, 3);
        const int job = PrivateCups::waitForJobAfter(kPs, before, "duplex.pdf");
        const QByteArray output = PrivateCups::waitForJobOutput(kPs, job);
        // Collated copies are the backend's to repeat: the job carries them.
        QVERIFY(jobInfo(kPs, job).contains("copies=2\n"));
        QVERIFY2(output.contains("%%Requirements: duplex"), output.left(600));
        QVERIFY(output.contains("%%HiResBoundingBox: 0 0 595.00 842.00"));
    }

    void driverSettingsStayTheDrivers()
    {
        QVERIFY(writeLpOptions("Dest Dunmarrow_PS sides=two-sided-long-edge media=Letter\n"));
        PdfiumPrintRequest request;
        request.pdfPath = pdf("driver.pdf", PdfFactory::textPages(2));
        request.printerName = kPs;
        request.useDriverSettings = true;
        request.duplex = false;
        request.paperKey = "A3";
        request.forcedDpi = 300;
        request.copies = 3;
        const int before = lastJobId(kPs);
        QString message;
        QVERIFY2(printPdfWithPdfium(request, nullptr, &message), qPrintable(message));
        const int job = PrivateCups::waitForJobAfter(kPs, before, "driver.pdf");
        const QByteArray output = PrivateCups::waitForJobOutput(kPs, job);
        QVERIFY(jobInfo(kPs, job).contains("copies=3\n"));
        QVERIFY(jobInfo(kPs, job).contains("printer-resolution=300x300dpi"));
        QVERIFY(output.contains("%%Requirements: duplex"));
        QVERIFY(output.contains("%%HiResBoundingBox: 0 0 612.00 792.00"));
    }

    // Papers by size, the user's own paper taken back, and values too large
    // for the record refused rather than cut to another paper.
    void papersAsTheDriverKnowsThem()
    {
        const QString file = pdf("paper.pdf", PdfFactory::textPages(1));
        const auto printOnPs = [&](PdfiumPrintRequest request, QString *message) {
            request.pdfPath = file;
            request.printerName = kPs;
            const int before = lastJobId(kPs);
            if (!printPdfWithPdfium(request, nullptr, message))
                return QByteArray();
            return PrivateCups::waitForJobOutput(kPs, PrivateCups::waitForJobAfter(kPs, before, "paper.pdf"));
        };
        QString message;
        PdfiumPrintRequest ledger;
        ledger.paperKey = "Ledger";
        QVERIFY(printOnPs(ledger, &message).contains("%%HiResBoundingBox: 0 0 792.00 1224.00"));

        // A paper the queue does not list, set as the user's default, goes
        // with the job; what the queue makes of it is the queue's business.
        QVERIFY(writeLpOptions("Dest Dunmarrow_PS media=na_index-4x6_4x6in\n"));
        PdfiumPrintRequest driver;
        driver.useDriverSettings = true;
        QVERIFY2(!printOnPs(driver, &message).isEmpty(), qPrintable(message));
        QVERIFY(jobInfo(kPs, lastJobId(kPs)).contains("media=na_index-4x6_4x6in"));

        PdfiumPrintRequest huge;
        huge.paperKey = "win:65545:Huge"; // 9 (A4) in sixteen bits
        QVERIFY(printOnPs(huge, &message).isEmpty());
        QCOMPARE(message, QStringLiteral("The printer driver rejected the current print settings."));
        PdfiumPrintRequest fine;
        fine.forcedDpi = 65536 + 300;
        QVERIFY(printOnPs(fine, &message).isEmpty());
        QCOMPARE(message, QStringLiteral("The printer driver rejected the current print settings."));
    }

    void printToFileGivesThePrintersData()
    {
        const DcRun run = printToFile(pdf("tofile.pdf", PdfFactory::textPages(2)), kPs,
                                      m_dir.filePath("out dir/printer data.prn"));
        QVERIFY(!run.ok); // the folder does not exist
        QVERIFY(!QFile::exists(m_dir.filePath("out dir/printer data.prn")));
        QDir().mkpath(m_dir.filePath("out dir"));
        const DcRun ok = printToFile(pdf("tofile.pdf", PdfFactory::textPages(2)), kPs,
                                     m_dir.filePath("out dir/printer data.prn"));
        QVERIFY2(ok.ok, qPrintable(ok.message));
        QVERIFY(ok.output.startsWith("%!PS"));
    }

    // PDFium reads these, the spool writer reads them differently: such a
    // page arrives as PDFium draws it, the rest as vector forms.
    void damagedPagesArriveAsPdfiumDrawsThem_data()
    {
        QTest::addColumn<PdfFactory::Page>("damaged");
        QTest::addColumn<bool>("yellow");
        PdfFactory::Page page = PdfFactory::textPages(1).first();
        PdfFactory::Page broken = page;
        broken.damagedContent = true;
        QTest::newRow("contents that do not decode") << broken << false;
        PdfFactory::Page boxless = page;
        boxless.noMediaBox = true;
        QTest::newRow("no paper box") << boxless << false;
        PdfFactory::Page highlighted = page;
        highlighted.highlightWithoutAppearance = true;
        QTest::newRow("highlight without appearance") << highlighted << true;
    }

    void damagedPagesArriveAsPdfiumDrawsThem()
    {
        QFETCH(PdfFactory::Page, damaged);
        QFETCH(bool, yellow);
        const QString file =
            pdf("damaged.pdf", {PdfFactory::textPages(1).first(), damaged});
        int pages = 0;
        const QList<SpoolPage> spool = readSpool(printToRaw(file, {}, &pages));
        QCOMPARE(pages, 2);
        QCOMPARE(spool.size(), 2);
        QVERIFY(!spool[0].isImage);
        QVERIFY(spool[1].isImage);
        const auto ink = [](int r, int g, int b) { return r < 128 && g < 128 && b < 128; };
        const auto highlight = [](int r, int g, int b) { return r > 200 && g > 200 && b < 100; };
        QVERIFY(damaged.damagedContent || hasPixel(spool[1].rendered, ink));
        QCOMPARE(hasPixel(spool[1].rendered, highlight), yellow);
    }

    // A cross-reference table that points nowhere is rebuilt by both
    // readers alike: the pages still go as vector forms.
    void repairedCrossReferenceStaysVector()
    {
        const QString whole = pdf("xref.pdf", PdfFactory::textPages(2));
        QByteArray bytes = readFile(whole);
        const qsizetype at = bytes.lastIndexOf("startxref");
        QVERIFY(at > 0);
        bytes = bytes.left(at) + "startxref\n12345\n%%EOF\n";
        const QString file = m_dir.filePath("moved xref.pdf");
        QVERIFY(writeFile(file, bytes));
        int pages = 0;
        const QList<SpoolPage> spool = readSpool(printToRaw(file, {}, &pages));
        QCOMPARE(pages, 2);
        QCOMPARE(spool.size(), 2);
        QVERIFY(!spool[0].isImage && !spool[1].isImage);
    }

    // Contents go into the spool as they are stored, deflated or split
    // over several streams, and still read as the page's text.
    void contentsArriveAsStored()
    {
        QList<PdfFactory::Page> pages = PdfFactory::textPages(3);
        pages[0].visibleText = QStringLiteral("deflated contents");
        pages[0].deflatedContent = true;
        pages[1].visibleText = QStringLiteral("split contents");
        pages[1].splitContent = true;
        pages[2].visibleText = QStringLiteral("plain contents");
        const QString file = pdf("stored.pdf", pages);
        const QList<SpoolPage> spool = readSpool(printToRaw(file, {}));
        QCOMPARE(spool.size(), 3);
        for (const SpoolPage &page : spool)
            QVERIFY(!page.isImage && page.rendered.isEmpty() && page.placed.width() > 500);
        QProcess text;
        text.start(QStringLiteral("pdftotext"),
                   {PrivateCups::outputFolder(kRaw) + QStringLiteral("/%1.prn").arg(m_lastRawJob),
                    QStringLiteral("-")});
        QVERIFY(text.waitForFinished());
        const QByteArray words = text.readAllStandardOutput();
        QVERIFY2(words.contains("deflated contents") && words.contains("split contents")
                     && words.contains("plain contents"),
                 words.constData());
    }

    // The spool writer cannot read this document at all.
    void documentOnlyPdfiumReads()
    {
        const QString whole = pdf("whole.pdf", PdfFactory::textPages(2));
        QFile in(whole);
        QVERIFY(in.open(QIODevice::ReadOnly));
        // The catalog's generation is wrong: PDFium finds the catalog anyway.
        QString bytes = QString::fromLatin1(in.readAll());
        bytes.replace(QRegularExpression(QStringLiteral("/Root (\\d+) 0 R")),
                      QStringLiteral("/Root \\1 1 R"));
        const QString file = m_dir.filePath("wrong root.pdf");
        QVERIFY(writeFile(file, bytes.toLatin1()));
        int pages = 0;
        PdfiumPrintRequest fine;
        fine.forcedDpi = 600;
        const QList<SpoolPage> spool = readSpool(printToRaw(file, fine, &pages));
        QCOMPARE(pages, 2);
        QCOMPARE(spool.size(), 2);
        QVERIFY(spool[0].isImage && spool[1].isImage);
        // Rendered at no more than 300 dpi, whatever the device's resolution.
        QVERIFY(spool[0].rendered.size() <= 2480 * 3508 * 3);
        QVERIFY(spool[0].rendered.size() > 2400 * 3400 * 3);
    }

    void failuresSendNothing_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("printer");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing file") << "missing.pdf" << kRaw << "PDF file not found: ";
        QTest::newRow("no printer") << "never sent.pdf" << "  " << "No printer is selected.";
        QTest::newRow("unknown printer") << "never sent.pdf" << "Gone_Printer"
                                         << "Unable to open printer: Gone_Printer (no such "
                                            "printer is installed)";
        QTest::newRow("encrypted") << "locked.pdf" << kRaw << "Incorrect password";
        QTest::newRow("scan that forbids printing")
            << "no print.pdf" << kRaw << "The PDF document does not allow printing.";
        QTest::newRow("no pages") << "empty.pdf" << kRaw << "The PDF document has no printable pages.";
        QTest::newRow("not a PDF") << "fake.pdf" << kRaw << "Invalid file format";
    }

    void failuresSendNothing()
    {
        QFETCH(QString, file);
        QFETCH(QString, printer);
        QFETCH(QString, message);
        pdf("never sent.pdf", PdfFactory::textPages(1));
        pdf("empty.pdf", {});
        PdfFactory::write(m_dir.filePath("locked.pdf"), PdfFactory::textPages(1), "secret");
        PdfFactory::write(m_dir.filePath("no print.pdf"), PdfFactory::scannedPages(2), QString(),
                          false);
        QVERIFY(writeFile(m_dir.filePath("fake.pdf"), "this is not a PDF at all"));

        const int before = lastJobId(kRaw);
        PdfiumPrintRequest request;
        request.pdfPath = m_dir.filePath(file);
        request.printerName = printer;
        int pages = -1;
        QString text;
        QVERIFY(!printPdfWithPdfium(request, &pages, &text));
        QVERIFY2(text.startsWith(message), qPrintable(text));
        QCOMPARE(pages, 0);
        QCOMPARE(PrivateCups::waitForJobAfter(kRaw, before, file, 500), 0);
    }
};

DUNMARROW_TEST_MAIN(TestPdfiumPrinting)
#include "tst_pdfiumprinting.moc"
