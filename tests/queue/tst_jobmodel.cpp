#include "TestMain.h"

#include "queue/JobModel.h"
#include "queue/PrinterList.h"
#include "queue/RowOrder.h"
#include "store/LocalStore.h"

#include <QSettings>

class TestJobModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void supportedFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("supported");
        QTest::newRow("upper case") << "report.PDF" << true;
        QTest::newRow("office") << "/a/b/sheet.xlsx" << true;
        QTest::newRow("pdf then zip") << "x.pdf.zip" << false;
        QTest::newRow("no dot") << "README" << false;
        QTest::newRow("dot file") << ".pdf" << true;
        QTest::newRow("dot in a folder name") << "/scans.pdf/README" << false;
    }

    void supportedFiles()
    {
        QFETCH(QString, name);
        QFETCH(bool, supported);
        QCOMPARE(isSupportedFile(name), supported);
    }

    void fileSizes()
    {
        QCOMPARE(formatFileSize(0), QStringLiteral("0 B"));
        QCOMPARE(formatFileSize(512), QStringLiteral("512 B"));
        QCOMPARE(formatFileSize(1023), QStringLiteral("1023 B"));
        QCOMPARE(formatFileSize(1024), QStringLiteral("1.0 KB"));
        QCOMPARE(formatFileSize(1536), QStringLiteral("1.5 KB"));
        QCOMPARE(formatFileSize(1048575), QStringLiteral("1024.0 KB"));
        QCOMPARE(formatFileSize(1048576), QStringLiteral("1.0 MB"));
        QCOMPARE(formatFileSize(2LL * 1024 * 1024 * 1024), QStringLiteral("2048.0 MB"));
    }

    void hotFolderJobUsesThePresetOfNow()
    {
        QueueEntry row{{"path", "/d/a.pdf"}, {"file_name", "a.pdf"}, {"task_type", "file"},
                       {"printer_name", "Recorded"}, {"duplex_mode", 0}};
        PrintJobContext context;
        context.hotFolderId = 3;
        context.hotFolderName = "Invoices";
        context.hotFolder = {{"printer_name", "Preset"}, {"duplex_mode", 2}, {"color", 1},
                             {"paper_size", "win:256:Custom"}};
        context.copies = 4;
        context.pdfEngine = "pdfium";
        context.officeEngine = "libreoffice";

        const PrintJob job = buildPrintJobFor(row, context);
        QCOMPARE(job.printerName, QStringLiteral("Preset"));
        QVERIFY(job.duplex);
        QVERIFY(job.shortEdge);
        QVERIFY(job.color);
        QCOMPARE(job.paperKey, QStringLiteral("win:256:Custom"));
        QVERIFY(!job.useDriverSettings);
        QCOMPARE(job.copies, 4);
        QCOMPARE(job.hotFolderName, QStringLiteral("Invoices"));
        QCOMPARE(job.sourcePath, QStringLiteral("/d/a.pdf"));
        QCOMPARE(job.pdfEngine, QStringLiteral("pdfium"));

        context.hotFolder.insert("duplex_mode", 1);
        const PrintJob longEdge = buildPrintJobFor(row, context);
        QVERIFY(longEdge.duplex);
        QVERIFY(!longEdge.shortEdge);
    }

    void deletedFolderPrintsLikeTheNormalQueue()
    {
        QueueEntry row{{"path", "/d/a.pdf"}, {"file_name", "a.pdf"}};
        PrintJobContext context;
        context.hotFolderId = 3; // its record is gone
        context.defaultPrinter = "Office";
        const PrintJob job = buildPrintJobFor(row, context);
        QVERIFY(job.useDriverSettings);
        QCOMPARE(job.printerName, QStringLiteral("Office"));
        QCOMPARE(job.paperKey, QStringLiteral("driver-default"));
        QVERIFY(!job.duplex && !job.color);
        QCOMPARE(job.copies, 1);
    }

    void cacheJobs()
    {
        QueueEntry row{{"path", "/c/k.prn"}, {"file_name", "Shown"}, {"task_type", "cache"},
                       {"cache_path", "/c/k.prn"}, {"source_path", "/d/src.pdf"},
                       {"cached_page_count", 0}};
        const PrintJob job = buildPrintJobFor(row, {});
        QVERIFY(job.isCache);
        QCOMPARE(job.sourcePath, QStringLiteral("/d/src.pdf"));
        QCOMPARE(job.cachedPageCount, 1);
        QCOMPARE(job.displayName, QStringLiteral("Shown"));

        row.insert("task_type", "Cache"); // case-sensitive
        QVERIFY(!buildPrintJobFor(row, {}).isCache);
    }

    void settingsForNewRows()
    {
        LocalStore store;
        QVERIFY(store.open());
        QSettings settings;
        settings.setValue("defaultPrinter", "Office");
        settings.setValue("normalDuplexMode", 1);
        settings.setValue("normalCopies", 3);
        const RowSettings normal = recordedSettingsForNewRows(store, 0);
        QCOMPARE(normal.printerName, QStringLiteral("Office"));
        QCOMPARE(normal.duplexMode, 1);
        QCOMPARE(normal.paperKey, QStringLiteral("A4"));
        QCOMPARE(normal.copies, 3);

        QVERIFY(store.addHotFolder({"Lab", "LabPrinter", 2, true, "A3", "#e9edf3"}));
        const int id = store.hotFolders().first().toMap().value("id").toInt();
        const RowSettings folder = recordedSettingsForNewRows(store, id);
        QCOMPARE(folder.printerName, QStringLiteral("LabPrinter"));
        QCOMPARE(folder.duplexMode, 2);
        QVERIFY(folder.color);
        QCOMPARE(folder.paperKey, QStringLiteral("A3"));
        QCOMPARE(folder.copies, 1);

        QCOMPARE(recordedSettingsForNewRows(store, id + 10).printerName, QStringLiteral("Office"));
        settings.clear();
    }

    void movingRows_data()
    {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<int>("target");
        QTest::addColumn<QString>("order");
        QTest::addColumn<int>("insertAt");
        QTest::newRow("two rows onto the lower half of row 0") << QList<int>{2, 3} << 1 << "02314" << 1;
        QTest::newRow("one row onto its own place") << QList<int>{2} << 2 << "01234" << 2;
        QTest::newRow("just below itself") << QList<int>{2} << 3 << "01234" << 2;
        QTest::newRow("scattered group to the end") << QList<int>{1, 4} << 5 << "02314" << 3;
        QTest::newRow("to the top") << QList<int>{3, 1} << 0 << "31024" << 0;
        QTest::newRow("repeats and strays") << QList<int>{4, 4, 9, -1} << 0 << "40123" << 0;
    }

    void movingRows()
    {
        QFETCH(QList<int>, rows);
        QFETCH(int, target);
        QFETCH(QString, order);
        QFETCH(int, insertAt);
        const QStringList paths{"0", "1", "2", "3", "4"};
        const RowMove move = moveRowsTo(paths, rows, target);
        QCOMPARE(move.newOrder.join(QString()), order);
        QCOMPARE(move.insertAt, insertAt);
    }

    void normalQueuePrinterChoice()
    {
        const QStringList printers{"Office", "Lab"};
        QCOMPARE(normalQueuePrinter(printers, "", "Lab", "Office"), QStringLiteral("Lab"));
        QCOMPARE(normalQueuePrinter(printers, "", "", "Lab"), QStringLiteral("Lab"));
        QCOMPARE(normalQueuePrinter(printers, "", "lab", ""), QStringLiteral("Office"));
        QCOMPARE(normalQueuePrinter(printers, "Gone", "Lab", ""), QStringLiteral("Office"));
        QCOMPARE(normalQueuePrinter({}, "", "Lab", "Lab"), QString());
    }

};

DUNMARROW_TEST_MAIN(TestJobModel)
#include "tst_jobmodel.moc"
