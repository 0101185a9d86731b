#include "PdfFactory.h"
#include "PrinterQueues.h"
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

using namespace Platform;

namespace {

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

// A data row: a page with one change, and what is expected of it.
void pageRow(const char *name, PdfFactory::Page page,
             const std::function<void(PdfFactory::Page &)> &change, bool expected)
{
    change(page);
    QTest::newRow(name) << page << expected;
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
        const auto contents = page.getObjectHandle().getKey("/Contents").getStreamData();
        const std::string content(reinterpret_cast<const char *>(contents->getBuffer()),
                                  contents->getSize());
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
                const QByteArray samples(reinterpret_cast<const char *>(data->getBuffer()), qsizetype(data->getSize()));
                QPDFObjectHandle dict = object.getDict();
                if (!dict.getKey("/ColorSpace").isNameAndEquals("/DeviceGray")) {
                    out.rendered += samples;
                    continue;
                }
                // Grey and black-and-white as RGB, like the rest.
                const bool bits = dict.getKey("/BitsPerComponent").getIntValueAsInt() == 1;
                const int width = dict.getKey("/Width").getIntValueAsInt();
                const int rowBytes = bits ? (width + 7) / 8 : width;
                for (qsizetype row = 0; row + rowBytes <= samples.size(); row += rowBytes) {
                    for (int x = 0; x < width; ++x) {
                        const char grey = bits ? ((samples[row + x / 8] >> (7 - x % 8)) & 1 ? char(255) : char(0))
                                               : samples[row + x];
                        out.rendered.append(3, grey);
                    }
                }
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
    run.output = readFile(outputFile);
    return run;
}

} // namespace

class TestPdfiumPrinting : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_lastJob = 0;

    QString pdf(const QString &name, const QList<PdfFactory::Page> &pages)
    {
        const QString path = m_dir.filePath(name);
        if (!PdfFactory::write(path, pages))
            qWarning("could not write %s", qPrintable(path));
        return path;
    }

    // What reached the queue; empty when the print failed (with its message).
    QByteArray printTo(const QString &queue, const QString &file, PdfiumPrintRequest request,
                       int *pages = nullptr, QString *message = nullptr)
    {
        request.pdfPath = file;
        request.printerName = queue;
        const int before = lastJobId(queue);
        int printed = 0;
        QString text;
        const bool ok = printPdfWithPdfium(request, &printed, &text);
        if (message)
            *message = text;
        if (!ok) {
            if (!message)
                qWarning("print failed: %s", qPrintable(text));
            return {};
        }
        if (pages)
            *pages = printed;
        m_lastJob = PrivateCups::waitForJobAfter(queue, before, QFileInfo(file).fileName());
        return PrivateCups::waitForJobOutput(queue, m_lastJob);
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
        const QByteArray output = printTo(kRaw, pdf("mixed.pdf", pages), {}, &printed);
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
        QList<PdfFactory::Page> pages = PdfFactory::scannedPages(3, 1240, 1754);
        pages[1].images[0].filters = QStringList{"FlateDecode", "DCTDecode"};
        pages[2].images[0].filters = QStringList{"DCTDecode", "FlateDecode"}; // the wrong order

        const DcRun run = printToFile(pdf("scans.pdf", pages), kRaw, m_dir.filePath("scans.out"));
        QVERIFY2(run.ok, qPrintable(run.message));
        QCOMPARE(run.pages, 3);
        QCOMPARE(run.passThrough, 2);
        const QList<SpoolPage> spool = readSpool(run.output);
        for (int i : {0, 1}) {
            QVERIFY(spool[i].isImage);
            QCOMPARE(spool[i].imageBytes, PdfFactory::jpegBytes(1240, 1754));
        }
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
        const PdfFactory::Page scan = PdfFactory::scannedPages(1, 1240, 1754).first();
        pageRow("slightly larger than the page", scan,
                [](auto &p) { p.images[0].rect = QRectF(-10, -10, 595 * 1.05, 842); }, true);
        pageRow("visible text", scan, [](auto &p) { p.visibleText = "Stamped"; }, false);
        pageRow("annotation", scan, [](auto &p) { p.annotation = true; }, false);
        pageRow("rotated", scan, [](auto &p) { p.rotate = 90; }, false);
        pageRow("89% of the page", scan,
                [](auto &p) { p.images[0].rect = QRectF(0, 0, 595 * 0.89, 842); }, false);
        pageRow("799 pixels", scan, [](auto &p) { p.images[0].pixelWidth = 799; }, false);
        pageRow("two images", scan, [](auto &p) { p.images << p.images.first(); }, false);
        pageRow("Lab colours", scan,
                [](auto &p) { p.images[0].colorSpace = "[/Lab << /WhitePoint [0.9505 1 1.089] >>]"; }, false);
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

    // The request's settings reach the PostScript queue. With the driver's
    // settings the user's defaults decide duplex and paper instead, while
    // copies and a forced resolution still go with the job.
    void settingsReachThePostScriptQueue()
    {
        PdfiumPrintRequest request;
        request.duplex = true;
        request.copies = 2;
        request.paperKey = "A4";
        int pages = 0;
        QByteArray output = printTo(kPs, pdf("duplex.pdf", PdfFactory::textPages(3)), request, &pages);
        QCOMPARE(pages, 3);
        // Collated copies are the backend's to repeat: the job carries them.
        QVERIFY(jobInfo(kPs, m_lastJob).contains("copies=2\n"));
        QVERIFY2(output.contains("%%Requirements: duplex"), output.left(600));
        QVERIFY(output.contains("%%HiResBoundingBox: 0 0 595.00 842.00"));

        QVERIFY(writeLpOptions("Dest Dunmarrow_PS sides=two-sided-long-edge media=Letter\n"));
        request.useDriverSettings = true;
        request.duplex = false;
        request.paperKey = "A3";
        request.forcedDpi = 300;
        request.copies = 3;
        output = printTo(kPs, pdf("driver.pdf", PdfFactory::textPages(2)), request);
        QVERIFY(jobInfo(kPs, m_lastJob).contains("copies=3\n"));
        QVERIFY(jobInfo(kPs, m_lastJob).contains("printer-resolution=300x300dpi"));
        QVERIFY(output.contains("%%Requirements: duplex"));
        QVERIFY(output.contains("%%HiResBoundingBox: 0 0 612.00 792.00"));
    }

    // Papers by size, the user's own paper taken back, and values too large
    // for the record refused rather than cut to another paper.
    void papersAsTheDriverKnowsThem()
    {
        const QString file = pdf("paper.pdf", PdfFactory::textPages(1));
        PdfiumPrintRequest ledger;
        ledger.paperKey = "Ledger";
        QVERIFY(printTo(kPs, file, ledger).contains("%%HiResBoundingBox: 0 0 792.00 1224.00"));

        // A paper the queue does not list, set as the user's default, goes
        // with the job; what the queue makes of it is the queue's business.
        QVERIFY(writeLpOptions("Dest Dunmarrow_PS media=na_index-4x6_4x6in\n"));
        PdfiumPrintRequest driver;
        driver.useDriverSettings = true;
        QVERIFY(!printTo(kPs, file, driver).isEmpty());
        QVERIFY(jobInfo(kPs, m_lastJob).contains("media=na_index-4x6_4x6in"));

        PdfiumPrintRequest huge;
        huge.paperKey = "win:65545:Huge"; // 9 (A4) in sixteen bits
        PdfiumPrintRequest fine;
        fine.forcedDpi = 65536 + 300;
        for (const PdfiumPrintRequest &refused : {huge, fine}) {
            QString message;
            QVERIFY(printTo(kPs, file, refused, nullptr, &message).isEmpty());
            QCOMPARE(message, QStringLiteral("The printer driver rejected the current print settings."));
        }
    }

    void printToFileGivesThePrintersData()
    {
        const QString file = pdf("tofile.pdf", PdfFactory::textPages(2));
        const QString out = m_dir.filePath("out dir/printer data.prn");
        QVERIFY(!printToFile(file, kPs, out).ok); // the folder does not exist
        QVERIFY(!QFile::exists(out));
        QDir().mkpath(m_dir.filePath("out dir"));
        const DcRun ok = printToFile(file, kPs, out);
        QVERIFY2(ok.ok, qPrintable(ok.message));
        QVERIFY(ok.output.startsWith("%!PS"));
    }

    // PDFium reads these, the spool writer reads them differently: such a
    // page arrives as PDFium draws it, compact, the rest as vector forms.
    void damagedPagesArriveAsPdfiumDrawsThem_data()
    {
        QTest::addColumn<PdfFactory::Page>("damaged");
        QTest::addColumn<bool>("yellow");
        const PdfFactory::Page page = PdfFactory::textPages(1).first();
        pageRow("contents that do not decode", page, [](auto &p) { p.damagedContent = true; }, false);
        pageRow("no paper box", page, [](auto &p) { p.noMediaBox = true; }, false);
        pageRow("highlight without appearance", page,
                [](auto &p) { p.highlightWithoutAppearance = true; }, true);
    }

    void damagedPagesArriveAsPdfiumDrawsThem()
    {
        QFETCH(PdfFactory::Page, damaged);
        QFETCH(bool, yellow);
        const QString file =
            pdf("damaged.pdf", {PdfFactory::textPages(1).first(), damaged});
        int pages = 0;
        const QByteArray output = printTo(kRaw, file, {}, &pages);
        const QList<SpoolPage> spool = readSpool(output);
        QCOMPARE(pages, 2);
        QCOMPARE(spool.size(), 2);
        QVERIFY(!spool[0].isImage);
        QVERIFY(spool[1].isImage);
        // Kept compact: what is black and white goes at one bit a pixel
        // (a whole A4 page of RGB pixels would be 26 MB before deflating).
        QVERIFY(output.contains("/BitsPerComponent 1"));
        QVERIFY2(output.size() < 64 * 1024, QByteArray::number(output.size()).constData());
        const auto ink = [](int r, int g, int b) { return r < 128 && g < 128 && b < 128; };
        const auto highlight = [](int r, int g, int b) { return r > 200 && g > 200 && b < 100; };
        QVERIFY(damaged.damagedContent || hasPixel(spool[1].rendered, ink));
        QCOMPARE(hasPixel(spool[1].rendered, highlight), yellow);
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
        const QList<SpoolPage> spool = readSpool(printTo(kRaw, file, {}));
        QCOMPARE(spool.size(), 3);
        for (const SpoolPage &page : spool)
            QVERIFY(!page.isImage && page.rendered.isEmpty() && page.placed.width() > 500);
        QProcess text;
        text.start(QStringLiteral("pdftotext"),
                   {PrivateCups::outputFolder(kRaw) + QStringLiteral("/%1.prn").arg(m_lastJob),
                    QStringLiteral("-")});
        QVERIFY(text.waitForFinished());
        const QByteArray words = text.readAllStandardOutput();
        QVERIFY2(words.contains("deflated contents") && words.contains("split contents")
                     && words.contains("plain contents"),
                 words.constData());
    }

    // Damage to the whole document: a cross-reference table that points
    // nowhere is rebuilt by both readers alike; a catalog of the wrong
    // generation only PDFium finds (the spool writer cannot read the
    // document at all), so PDFium's reading of it is what the spool writer
    // reads. Either way the pages still go as vector forms, not as pixels.
    void damagedDocuments_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("replacement");
        QTest::newRow("moved xref") << "startxref\\s+\\d+" << "startxref\n12345";
        QTest::newRow("wrong root") << "/Root (\\d+) 0 R" << "/Root \\1 1 R";
    }

    void damagedDocuments()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, replacement);
        const QString whole = QString::fromLatin1(readFile(pdf("whole.pdf", PdfFactory::textPages(2))));
        const QString damaged = QString(whole).replace(QRegularExpression(pattern), replacement);
        QVERIFY(damaged != whole);
        const QString file = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + ".pdf");
        QVERIFY(writeFile(file, damaged.toLatin1()));
        PdfiumPrintRequest fine;
        fine.forcedDpi = 600;
        int pages = 0;
        const QList<SpoolPage> spool = readSpool(printTo(kRaw, file, fine, &pages));
        QCOMPARE(pages, 2);
        QCOMPARE(spool.size(), 2);
        QVERIFY(!spool[0].isImage && !spool[1].isImage);
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
