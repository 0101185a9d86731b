#include "PdfFactory.h"
#include "TestMain.h"

#include "engines/PdfiumLibrary.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

// A copy of the library in which one exported name is renamed, so the
// dynamic loader no longer finds it: a library that lacks that function.
QString libraryWithout(const QTemporaryDir &dir, const QByteArray &function)
{
    QByteArray bytes = readFile(locatePdfiumLibrary(QString()));
    QByteArray needle = function;
    needle.append('\0');
    const qsizetype at = bytes.indexOf(needle);
    if (at < 0)
        return {};
    bytes[at + function.size() - 1] = 'X';
    const QString path = dir.filePath(QStringLiteral("libpdfium-without.so"));
    return writeFile(path, bytes) ? path : QString();
}

} // namespace

class TestPdfium : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString pdf(const QString &name, const QList<PdfFactory::Page> &pages)
    {
        const QString path = m_dir.filePath(name);
        if (!PdfFactory::write(path, pages))
            qWarning("could not write %s", qPrintable(path));
        return path;
    }

    static PdfFactory::Page imagePage(QSizeF size, int pixels, double coverage = 1.0)
    {
        PdfFactory::Page page;
        page.size = size;
        PdfFactory::Image image;
        image.pixelWidth = pixels;
        image.pixelHeight = pixels;
        const double side = std::sqrt(coverage);
        image.rect = QRectF(0, 0, size.width() * side, size.height() * side);
        page.images << image;
        return page;
    }

private Q_SLOTS:
    void locatingTheLibrary()
    {
        const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath("libpdfium.so");
        QVERIFY2(QFile::exists(beside), "the set-up places libpdfium.so beside the programs");
        // An installed package's own library comes first.
        const QString fallback = QFile::exists(installedPdfiumLibrary()) ? installedPdfiumLibrary() : beside;
        {
            ScopedEnv env("PDFIUM_DLL_PATH", QFile::encodeName("   " + beside + "\t "));
            QCOMPARE(locatePdfiumLibrary(QString()), fallback);
            QCOMPARE(locatePdfiumLibrary("  /no/such/lib.so  "), beside);
        }
        {
            ScopedEnv env("PDFIUM_DLL_PATH", "/no/such/libpdfium.so");
            QCOMPARE(locatePdfiumLibrary(QString()), fallback);
        }
        const QString configured = m_dir.filePath("custom.so");
        QVERIFY(writeFile(configured));
        QCOMPARE(locatePdfiumLibrary(" " + configured), configured);
    }

    void loadAndResolveFailures()
    {
        // Not a library at all: the loader's own words follow the prefix.
        const QString notALibrary = m_dir.filePath("not-a-library.so");
        QVERIFY(writeFile(notALibrary, "plain text"));
        const QString scan = pdf("scan.pdf", PdfFactory::scannedPages(1));
        PdfScanProfile profile = analyzeScannedPdf(scan, notALibrary);
        QVERIFY(!profile.ok);
        QVERIFY2(profile.error.startsWith("Failed to load pdfium.dll: "), qPrintable(profile.error));
        QVERIFY(profile.error.size() > 27);

        const QString withoutAnnots = libraryWithout(m_dir, "FPDFPage_GetAnnotCount");
        QVERIFY(!withoutAnnots.isEmpty());
        profile = analyzeScannedPdf(scan, withoutAnnots);
        QVERIFY2(profile.ok, qPrintable(profile.error));
        Pdfium::Pass pass(withoutAnnots);
        QString message;
        QVERIFY(!pass.open(scan, Pdfium::PageObjectGroup | Pdfium::PassThroughGroup, &message));
        QCOMPARE(message, QStringLiteral("pdfium.dll is missing function: FPDFPage_GetAnnotCount"));
    }

    void sampling()
    {
        QCOMPARE(scanSampleIndexes(1), QList<int>{0});
        QCOMPARE(scanSampleIndexes(0), QList<int>{});
        QCOMPARE(scanSampleIndexes(24).size(), 24);
        QCOMPARE(scanSampleIndexes(24).last(), 23);
        const QList<int> hundred = scanSampleIndexes(100);
        QCOMPARE(hundred.size(), 24);
        QCOMPARE(hundred.mid(0, 3), (QList<int>{0, 4, 9}));
        QCOMPARE(hundred.last(), 99);
    }

    void scanAnalysis()
    {
        PdfScanProfile profile = analyzeScannedPdf(pdf("s.pdf", PdfFactory::scannedPages(3)), {});
        QVERIFY2(profile.ok, qPrintable(profile.error));
        QVERIFY(profile.scanned);
        QCOMPARE(profile.sampledPages, 3);
        QCOMPARE(profile.imagePages, 3);
        QVERIFY(qAbs(profile.averageDpi - 150) < 0.2);
        QCOMPARE(profile.recommendedDpi, 300);

        profile = analyzeScannedPdf(pdf("long.pdf", PdfFactory::scannedPages(30, 800, 800)), {});
        QCOMPARE(profile.sampledPages, 24);

        profile = analyzeScannedPdf(pdf("text.pdf", PdfFactory::textPages(2)), {});
        QVERIFY(profile.ok && !profile.scanned);
        QCOMPARE(profile.recommendedDpi, 0);

        profile = analyzeScannedPdf(pdf("empty.pdf", {}), {});
        QVERIFY(profile.ok);
        QVERIFY(!profile.scanned);
        QCOMPARE(profile.sampledPages, 0);

        profile = analyzeScannedPdf(m_dir.filePath("missing.pdf"), {});
        QVERIFY(!profile.ok);
        QCOMPARE(profile.error, "PDF file not found: " + m_dir.filePath("missing.pdf"));
    }

    void scanThresholds_data()
    {
        QTest::addColumn<QList<PdfFactory::Page>>("pages");
        QTest::addColumn<bool>("scanned");
        QTest::addColumn<int>("dpi");
        const QSizeF inch(72, 72);
        QTest::newRow("799 pixels wide") << QList<PdfFactory::Page>{imagePage(inch, 799)} << false << 0;
        QTest::newRow("800 pixels at 800 dpi") << QList<PdfFactory::Page>{imagePage(inch, 800)} << true << 0;
        QTest::newRow("1500 dpi") << QList<PdfFactory::Page>{imagePage(inch, 1500)} << false << 0;
        QTest::newRow("exactly 360 dpi")
            << QList<PdfFactory::Page>{imagePage(QSizeF(200, 200), 1000)} << true << 300;
        QTest::newRow("361 dpi") << QList<PdfFactory::Page>{imagePage(QSizeF(288, 288), 1444)} << true << 0;
        QTest::newRow("74% of the page")
            << QList<PdfFactory::Page>{imagePage(QSizeF(200, 200), 1000, 0.74)} << false << 0;
        QList<PdfFactory::Page> fourOfFive = PdfFactory::scannedPages(4, 1000, 1000);
        fourOfFive << PdfFactory::textPages(1);
        QTest::newRow("4 of 5") << fourOfFive << true << 300;
        QList<PdfFactory::Page> threeOfFour = PdfFactory::scannedPages(3, 1000, 1000);
        threeOfFour << PdfFactory::textPages(1);
        QTest::newRow("3 of 4") << threeOfFour << false << 0;
    }

    void scanThresholds()
    {
        QFETCH(QList<PdfFactory::Page>, pages);
        QFETCH(bool, scanned);
        QFETCH(int, dpi);
        const PdfScanProfile profile =
            analyzeScannedPdf(pdf(QString::fromLatin1(QTest::currentDataTag()) + ".pdf", pages), {});
        QVERIFY2(profile.ok, qPrintable(profile.error));
        QCOMPARE(profile.scanned, scanned);
        QCOMPARE(profile.recommendedDpi, dpi);
    }

    void documentsPdfiumCannotOpen()
    {
        const QString locked = m_dir.filePath("locked.pdf");
        QVERIFY(PdfFactory::write(locked, PdfFactory::textPages(1), "secret"));
        PdfScanProfile profile = analyzeScannedPdf(locked, {});
        QVERIFY(!profile.ok);
        QCOMPARE(profile.error, QStringLiteral("Incorrect password"));

        const QString whole = pdf("whole.pdf", PdfFactory::textPages(2));
        const QString truncated = m_dir.filePath("truncated.pdf");
        QVERIFY(writeFile(truncated, readFile(whole).left(200)));
        profile = analyzeScannedPdf(truncated, {});
        QVERIFY(!profile.ok);
        QVERIFY(!profile.error.isEmpty());

        // Passes do not leak: the library is usable again right after.
        QVERIFY(analyzeScannedPdf(whole, {}).ok);
    }
};

DUNMARROW_TEST_MAIN(TestPdfium)
#include "tst_pdfium.moc"
