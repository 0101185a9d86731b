#include "ImageFactory.h"
#include "PdfFactory.h"
#include "PrinterQueues.h"
#include "StandIns.h"
#include "TestMain.h"

#include "engines/Dispatch.h"
#include "engines/OfficeSuites.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

PrintJob jobFor(const QString &path, const QString &printer = kRaw)
{
    PrintJob job;
    job.path = path;
    job.sourcePath = path;
    job.printerName = printer;
    job.pdfEngine = QStringLiteral("pdfium");
    job.useDriverSettings = true;
    job.paperKey = QStringLiteral("driver-default");
    return job;
}

} // namespace

class TestDispatch : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString image(const QString &name, const char *format)
    {
        QImage picture(1200, 800, QImage::Format_RGB32);
        picture.fill(QColor(30, 120, 200));
        const QString path = m_dir.filePath(name);
        picture.save(path, format);
        return path;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(PrivateCups::isAvailable()); }

    // A PDF engine that cannot print here, or a value no engine has, prints
    // with the built-in engine; where Acrobat exists such a value means
    // Acrobat, as it always did.
    void engineChoicesThatCannotPrintHere()
    {
        const QString path = m_dir.filePath("engine.pdf");
        QVERIFY(PdfFactory::write(path, PdfFactory::textPages(1)));
        for (const QString engine : {"acrobat", "PDFium"}) {
            PrintJob job = jobFor(path);
            job.pdfEngine = engine;
            const int before = PrivateCups::lastJobId(kRaw);
            const PrintResult result = dispatchPrintJob(job);
            QVERIFY2(result.success, qPrintable(result.message));
            QVERIFY(PrivateCups::waitForJobAfter(kRaw, before, "engine.pdf") > 0);
        }
        QCOMPARE(usablePdfEngine("PDFium"), QStringLiteral("pdfium"));
        QCOMPARE(usableOfficeEngine("wps"), QStringLiteral("auto"));
        QCOMPARE(usableOfficeEngine("libreoffice"), QStringLiteral("libreoffice"));
        StandInPrograms acrobat({"AcroExch.AVDoc", "KWPS.Application"});
        QCOMPARE(usablePdfEngine("PDFium"), QStringLiteral("acrobat"));
        QCOMPARE(usablePdfEngine("pdfium"), QStringLiteral("pdfium"));
        QCOMPARE(usableOfficeEngine("wps"), QStringLiteral("wps"));
        QCOMPARE(usableOfficeEngine("microsoft"), QStringLiteral("auto"));
    }

    // A PDF is known by its suffix whatever its case, an image by its
    // contents whatever its name says; each reaches the queue with its copies.
    void printsReachTheQueue_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("format"); // of an image; none: a PDF of two pages
        QTest::addColumn<int>("pages");
        QTest::newRow("pdf, upper case") << "REPORT 1.PDF" << QByteArray() << 2;
        QTest::newRow("webp") << "photo.webp" << QByteArray("WEBP") << 1;
        QTest::newRow("png named jpg") << "really a png.jpg" << QByteArray("PNG") << 1;
        QTest::newRow("tiff") << "scan.TIF" << QByteArray("TIFF") << 1;
    }

    void printsReachTheQueue()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, format);
        QFETCH(int, pages);
        const QString path = format.isEmpty() ? m_dir.filePath(name) : image(name, format.constData());
        QVERIFY(format.isEmpty() ? PdfFactory::write(path, PdfFactory::textPages(2)) : QFile::exists(path));
        PrintJob job = jobFor(path);
        job.copies = 2;
        const int before = PrivateCups::lastJobId(kRaw);
        const PrintResult result = dispatchPrintJob(job);
        QVERIFY2(result.success, qPrintable(result.message));
        QCOMPARE(result.pages, pages);
        const int id = PrivateCups::waitForJobAfter(kRaw, before, name);
        QVERIFY(id > 0);
        QVERIFY(PrivateCups::waitForJobOutput(kRaw, id).startsWith("%PDF"));
        QVERIFY(PrivateCups::jobInfo(kRaw, id).contains("copies=2\n"));
    }

    void imageFailures()
    {
        const QString damaged = m_dir.filePath("damaged.png");
        QVERIFY(writeFile(damaged, "\x89PNG\r\n\x1a\n not really"));
        PrintResult result = dispatchPrintJob(jobFor(damaged));
        QVERIFY(!result.success);
        QCOMPARE(result.message, QStringLiteral("Unable to read the image file，The format may be "
                                                "unsupported or the file is damaged"));

        result = dispatchPrintJob(jobFor(image("ok.png", "PNG"), QStringLiteral("Gone_Printer")));
        QVERIFY(!result.success);
        QCOMPARE(result.message, QStringLiteral("Unable to open an image print job for the "
                                                "selected printer (no such printer is installed)"));

        // No job exists, so nothing may count as printed.
        result = dispatchPrintJob(jobFor(image("ok.png", "PNG"), PrivateCups::kClosedQueue));
        QVERIFY(!result.success);
        QCOMPARE(result.message, QStringLiteral("Unable to open an image print job for the "
                                                "selected printer (the printer is not accepting "
                                                "jobs)"));
    }

    // With nothing asked for, the paper is the queue's own default (the
    // driver description's, or the printer's media-default), as lp has it;
    // a paper the printer lacks gives way to that, and the result says so.
    void paperAsTheQueueHasIt()
    {
        const QString path = m_dir.filePath("paper.pdf");
        QVERIFY(PdfFactory::write(path, PdfFactory::textPages(1)));
        const auto print = [&](const QString &queue, const QString &paper) {
            PrintJob job = jobFor(path, queue);
            job.useDriverSettings = paper.isEmpty();
            job.paperKey = paper.isEmpty() ? QStringLiteral("driver-default") : paper;
            const int before = PrivateCups::lastJobId(queue);
            const PrintResult result = dispatchPrintJob(job);
            const int id = PrivateCups::waitForJobAfter(queue, before, "paper.pdf");
            return std::make_tuple(result, PrivateCups::jobInfo(queue, id), PrivateCups::waitForJobOutput(queue, id));
        };
        auto [a4, a4Info, a4Output] = print(PrivateCups::kA4Queue, {});
        QVERIFY2(a4Info.contains("media=iso_a4_210x297mm"), qPrintable(a4Info));
        QVERIFY(a4Output.contains("%%HiResBoundingBox: 0 0 595.00 842.00"));
        QVERIFY(a4.note.isEmpty());
        auto [a3, a3Info, a3Output] = print(PrivateCups::kA3Queue, {});
        QVERIFY2(a3Info.contains("media=iso_a3_297x420mm"), qPrintable(a3Info));
        QVERIFY(a3Output.contains("/MediaBox [ 0 0 841.8898 1190.5512 ]"));

        auto [b4, b4Info, b4Output] = print(PrivateCups::kA4Queue, "B4");
        QVERIFY(b4.success);
        QCOMPARE(b4.note, QStringLiteral("printed on A4: the printer has no B4"));
        QVERIFY(b4Output.contains("%%HiResBoundingBox: 0 0 595.00 842.00"));
    }

    // Every page of a multi-page TIFF, counted; a photo as its own bytes
    // however large; other images losslessly, 16-bit ones of any size too.
    void imagesArriveWhole()
    {
        const auto print = [&](const QString &name, const QByteArray &bytes, QByteArray *output) {
            const QString path = m_dir.filePath(name);
            writeFile(path, bytes);
            const int before = PrivateCups::lastJobId(kRaw);
            const PrintResult result = dispatchPrintJob(jobFor(path));
            *output = PrivateCups::waitForJobOutput(kRaw, PrivateCups::waitForJobAfter(kRaw, before, name));
            return result;
        };
        QByteArray output;
        QImage fax(850, 1100, QImage::Format_Grayscale8);
        fax.fill(90);
        PrintResult result = print("fax.tif", ImageFactory::tiff({fax, fax, fax}), &output);
        QVERIFY2(result.success, qPrintable(result.message));
        QCOMPARE(result.pages, 3);
        QCOMPARE(output.count("/Type /Page\n") + output.count("/Type /Page "), 3);

        QImage pattern(300, 200, QImage::Format_RGB888);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 300; ++x)
                pattern.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x ^ y) % 256));
        QByteArray png;
        QBuffer buffer(&png);
        QVERIFY(buffer.open(QIODevice::WriteOnly) && pattern.save(&buffer, "PNG"));
        QVERIFY(print("pattern.png", png, &output).success);
        QByteArray rows;
        for (int y = 0; y < 200; ++y)
            rows.append(reinterpret_cast<const char *>(pattern.constScanLine(y)), 900);
        QVERIFY(ImageFactory::decodedImages(output).contains(rows));

        QImage photo(8000, 6000, QImage::Format_RGB32);
        photo.fill(QColor(200, 80, 40));
        const QByteArray jpeg = ImageFactory::jpegWithOrientation(photo, 1, 50);
        photo = QImage();
        QVERIFY(print("photo 48mp.jpg", jpeg, &output).success);
        QCOMPARE(ImageFactory::storedImage(output, "/DCTDecode"), jpeg);

        QImage deep(4800, 3600, QImage::Format_RGBX64);
        deep.fill(QColor(20, 120, 220));
        QVERIFY(print("scan16.tif", ImageFactory::tiff({deep}), &output).success);
    }

    // A name that became a FIFO after it was listed must not block the
    // print (nor the process-wide PDFium lock) waiting for a writer.
    void namesThatAreNotFiles()
    {
        for (const QString name : {"pipe.pdf", "pipe.png"}) {
            const QString path = m_dir.filePath(name);
            QVERIFY(mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
            const PrintResult result = dispatchPrintJob(jobFor(path));
            QVERIFY(!result.success);
            QCOMPARE(result.message,
                     QStringLiteral("The file is not a regular file and cannot be printed"));
        }
    }

    void otherTypesNameWhatToInstall_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("suite");
        // Only what can be installed here is named; WPS cannot, so it is automatic.
        QTest::newRow("word, wps chosen") << "letter.doc" << "wps" << "LibreOffice Writer";
        QTest::newRow("sheet, automatic") << "sums.XLSX" << "auto" << "LibreOffice Calc";
        QTest::newRow("drawing") << "plan.odg" << "auto" << "LibreOffice";
        QTest::newRow("caj") << "paper.caj" << "libreoffice" << "LibreOffice";
    }

    void otherTypesNameWhatToInstall()
    {
        QFETCH(QString, name);
        QFETCH(QString, engine);
        QFETCH(QString, suite);
        if (isLibreOfficeAvailable())
            QSKIP("LibreOffice is installed here");
        const QString path = m_dir.filePath(name);
        QVERIFY(writeFile(path));
        PrintJob job = jobFor(path);
        job.officeEngine = engine;
        const PrintResult result = dispatchPrintJob(job);
        QVERIFY(!result.success);
        QCOMPARE(result.message, "This computer does not have  " + suite
                                     + "  installed, so Print，Please install  " + suite
                                     + " software.");
    }

    void suiteDetection()
    {
        QVERIFY(!hasComApplication("a.docx", "auto"));
        {
            StandInPrograms wps({"KWPS.Application"});
            QVERIFY(hasComApplication("a.docx", "auto"));
            QVERIFY(hasComApplication("a.docx", "wps"));
            QVERIFY(!hasComApplication("a.docx", "microsoft"));
            QVERIFY(!hasComApplication("a.xlsx", "wps"));
            QVERIFY(isOfficeSuiteAvailable("a.docx", "wps"));
            QVERIFY(isWpsOfficePresent());
            QVERIFY(!isMicrosoftOfficePresent());
        }
        QCOMPARE(officeProgIds(DocumentClass::Presentation, "other"),
                 (QStringList{"PowerPoint.Application", "KWPP.Application", "WPP.Application"}));
        QVERIFY(isShellVerbType("x.ODG"));
        QVERIFY(!isOfficeDocument("x.odg"));
    }

    // The check names only what this platform could have and lacks.
    void dependencyCheck()
    {
        const QStringList missing = missingDependencies();
        QCOMPARE(missing.isEmpty(), isLibreOfficeAvailable());
        for (const QString &item : missing)
            QCOMPARE(item, QStringLiteral("No supported office suite was detected. Install LibreOffice to "
                                          "print office documents."));
        StandInPrograms excel({"Excel.Application"});
        QVERIFY(missingDependencies().isEmpty());
    }
};

DUNMARROW_TEST_MAIN(TestDispatch)
#include "tst_dispatch.moc"
