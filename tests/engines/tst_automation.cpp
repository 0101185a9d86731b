#include "AutomationStandIns.h"
#include "PdfFactory.h"
#include "PrinterQueues.h"
#include "TestMain.h"

#include "engines/AcrobatPrinting.h"
#include "engines/CacheBuilder.h"
#include "engines/ComCalls.h"
#include "engines/Dispatch.h"
#include "engines/LibreOffice.h"
#include "engines/ShellVerbPrinting.h"
#include "engines/OfficeAutomation.h"
#include "engines/OfficeSuites.h"
#include "platform/LpOptions.h"
#include "platform/Spooler.h"

#include <QFuture>
#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtConcurrent>

using Fault = StandInState::Fault;

namespace {

// LibreOffice processes still running that work in a folder (their
// command line names it); a zombie waiting for its reaper has ended already.
QStringList liveSofficeProcesses(const QString &folder)
{
    QStringList live;
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(proc.filePath(pid + "/stat"));
        QFile commandLine(proc.filePath(pid + "/cmdline"));
        if (!pid.toInt() || !stat.open(QIODevice::ReadOnly) || !commandLine.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        if (commandLine.readAll().contains(QFile::encodeName(folder))
            && line.mid(line.lastIndexOf(')') + 2, 1) != "Z")
            live << pid;
    }
    return live;
}

// The user's starting points: no options file, a file without a default
// printer, and one with a default and options of the target printer.
const QList<QByteArray> kStartingFiles = {
    QByteArray(),
    "Dest Dunmarrow_Raw copies=2\n",
    "Default Dunmarrow_Raw\nDest Dunmarrow_PS sides=two-sided-long-edge media=Letter\n",
};

void startFrom(const QByteArray &file)
{
    Platform::restoreLpOptions(file.isNull() ? Platform::LpOptionsSnapshot()
                                             : Platform::LpOptionsSnapshot{true, file});
}

} // namespace

class TestAutomation : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString pdf(const QString &name, int pages)
    {
        const QString path = m_dir.filePath(name);
        PdfFactory::write(path, PdfFactory::textPages(pages, QSizeF(612, 792)));
        return path;
    }

    // The next job titled so reached the printer in `copies` copies and,
    // when `a4ShortEdge`, on A4 both sides short edge.
    void checkPsJob(int before, const QString &title, int copies, bool a4ShortEdge = true, int *jobId = nullptr)
    {
        const int job = PrivateCups::waitForJobAfter(kPs, before, title);
        if (jobId)
            *jobId = job;
        const QString info = PrivateCups::jobInfo(kPs, job);
        QVERIFY2(info.contains(QString("copies=%1\n").arg(copies)), qPrintable(info));
        const QByteArray output = PrivateCups::waitForJobOutput(kPs, job);
        if (a4ShortEdge) {
            QVERIFY(output.contains("/Tumble true"));
            QVERIFY(output.contains("%%HiResBoundingBox: 0 0 595.00 842.00"));
        }
    }

    // Fails `member` in each way, keeping what each attempt said under
    // `key`; the user's setup is exactly `before` after each.
    int m_injected = 0;
    void failEachWay(const QString &member, const QString &key, const QByteArray &before,
                     const std::function<bool(QString *)> &print, QMap<QString, QString> *messages)
    {
        for (const Fault fault : {Fault::Fail, Fault::Throw, Fault::WrongAnswer}) {
            AutomationStandIns standIns;
            standIns.state()->setFault(member, fault);
            QString message;
            messages->insert(key + QString::number(int(fault)), print(&message) ? "ok" : message);
            QCOMPARE(userOptionsFile(), before);
            ++m_injected;
        }
    }

private Q_SLOTS:
    void init() { startFrom(kStartingFiles.at(2)); }
    void cleanupTestCase() { Platform::restoreLpOptions({}); }

    // Acrobat prints all pages to the default printer, which for the print is
    // the target with the job's settings; afterwards everything is as before.
    void acrobatPrintsThroughTheDefaults()
    {
        AutomationStandIns standIns;
        const QString file = pdf("twelve.pdf", 12);
        const QByteArray before = userOptionsFile();
        const int last = PrivateCups::lastJobId(kPs);
        int pages = 0;
        QString message;
        QVERIFY2(printPdfWithAcrobat(file, kPs, true, true, false, "A4", 2, false, &pages, &message),
                 qPrintable(message));
        QCOMPARE(pages, 12);
        QVERIFY(standIns.state()->takeCalls().contains("PrintPagesSilent(0,11,2,1,1)"));
        checkPsJob(last, "twelve.pdf", 2);
        QCOMPARE(userOptionsFile(), before);

        // The driver's own settings: only the copies are written.
        QVERIFY(printPdfWithAcrobat(file, kPs, true, true, false, "A4", 3, true, &pages, &message));
        QVERIFY(hasOption(standIns.state()->optionsAtPrint, kPs, "copies", "3"));
        QVERIFY(hasOption(standIns.state()->optionsAtPrint, kPs, "sides", "two-sided-long-edge"));
        QCOMPARE(userOptionsFile(), before);
    }

    // Every member failing in every way, from every starting point: the
    // default printer and the options file are exactly as before.
    void acrobatFailuresRestoreEverything()
    {
        const QString file = pdf("fails.pdf", 2);
        const QStringList members = {"Hide", "Open", "GetPDDoc", "GetNumPages", "PrintPagesSilent",
                                     "Close", "Exit"};
        const auto print = [&](QString *message) {
            int pages = 0;
            return printPdfWithAcrobat(file, kPs, true, false, false, "A4", 1, false, &pages, message);
        };
        m_injected = 0;
        QMap<QString, QString> messages;
        for (const QByteArray &start : kStartingFiles) {
            startFrom(start);
            const QByteArray before = userOptionsFile();
            for (const QString &member : members)
                failEachWay(member, member, before, print, &messages);
            // Acrobat that is not there, or will not start.
            AutomationStandIns missing({"AcroExch.AVDoc"}, {"AcroExch.App"});
            QString message;
            QVERIFY(!printPdfWithAcrobat(file, kPs, false, false, false, "A4", 1, false, nullptr, &message));
            QCOMPARE(message, QStringLiteral("Unable to start Adobe Acrobat COM: Server execution failed"));
            QCOMPARE(userOptionsFile(), before);
        }
        qInfo("Acrobat: %d injected failures, each followed by a byte-identical restore", m_injected);
        QCOMPARE(messages.value("Open1"), QStringLiteral("The Acrobat COM call failed: Open, Unspecified error"));
        QCOMPARE(messages.value("Open2"), QStringLiteral("The Acrobat COM call failed: Open, stand-in stopped in Open"));
        QCOMPARE(messages.value("Open3"), QStringLiteral("Adobe Acrobat could not open the PDF file"));
        QCOMPARE(messages.value("GetNumPages3"), QString()); // the dispatch names it
        QCOMPARE(messages.value("PrintPagesSilent3"), QStringLiteral("Adobe Acrobat COM silent printing failed"));
        QCOMPARE(messages.value("Hide1"), QStringLiteral("ok")); // its errors do not matter
        QCOMPARE(messages.value("Exit2"), QStringLiteral("ok"));

        AutomationStandIns standIns;
        standIns.state()->pageCountAnswer = 0;
        QString message;
        QVERIFY(!printPdfWithAcrobat(file, kPs, false, false, false, "A4", 1, false, nullptr, &message));
        QVERIFY(!standIns.state()->takeCalls().join(' ').contains("PrintPagesSilent"));
        QString pdfPath = m_dir.filePath("not a pdf.pdf");
        writeFile(pdfPath, "plain text");
        QVERIFY(!printPdfWithAcrobat(pdfPath, kPs, false, false, false, "A4", 1, false, nullptr, &message));
        QCOMPARE(message, QStringLiteral("Adobe Acrobat could not open the PDF file"));
    }

    void hresultTexts()
    {
        QCOMPARE(hresultText(0x80041234), QStringLiteral("HRESULT 0x80041234"));
        QCOMPARE(hresultText(0x1), QStringLiteral("HRESULT 0x00000001"));
        QCOMPARE(hresultText(0x80004005), QStringLiteral("Unspecified error"));
    }

    // Which application a document goes to.
    void routes()
    {
        AutomationStandIns standIns({"Word.Application", "WPS.Application"}, {"KWPS.Application"});
        Platform::AutomationObjectPtr app;
        QString used;
        QVERIFY(createFirstApplication(officeProgIds(DocumentClass::Writer, "auto"), &app, &used));
        QCOMPARE(used, QStringLiteral("Word.Application"));
        QVERIFY(createFirstApplication(officeProgIds(DocumentClass::Writer, "wps"), &app, &used));
        QCOMPARE(used, QStringLiteral("WPS.Application"));
        QVERIFY(!createFirstApplication(officeProgIds(DocumentClass::Spreadsheet, "auto"), &app));
        QVERIFY(!takesLibreOfficeRoute("a.docx", "auto"));
        QVERIFY(takesLibreOfficeRoute("a.docx", "libreoffice"));
        QCOMPARE(takesLibreOfficeRoute("a.xlsx", "auto"), isLibreOfficeAvailable());
        QVERIFY(!takesLibreOfficeRoute("a.xlsx", "microsoft"));

        int pages = 0;
        QString message;
        QVERIFY(!printOfficeDocument(m_dir.filePath("a.odg"), "microsoft", kPs, false, false, false,
                                     "A4", 1, false, &pages, &message));
        QCOMPARE(message, QStringLiteral("Unsupported document type: odg"));
        QVERIFY(!printOfficeDocument(m_dir.filePath("a.xlsx"), "microsoft", kPs, false, false, false,
                                     "A4", 1, false, &pages, &message));
        QCOMPARE(message, QStringLiteral("No supported document application is installed"));
    }

    // Each kind of application prints to the printer with the copies given,
    // while the printer's own default copies stay 1; pages come in the
    // number types the applications answer with.
    void officePrinting_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("answer");
        QTest::addColumn<int>("pages");
        QTest::newRow("Word, a double") << "report.docx" << QVariant(4.6) << 5;
        QTest::newRow("PowerPoint, a short") << "slides.pptx" << QVariant::fromValue(short(7)) << 7;
        QTest::newRow("Excel, an int") << "sheet.xlsx" << QVariant(3) << 3;
        QTest::newRow("Word, a negative") << "minus.doc" << QVariant(-2) << 0;
    }

    void officePrinting()
    {
        QFETCH(QString, name);
        QFETCH(QVariant, answer);
        QFETCH(int, pages);
        AutomationStandIns standIns;
        standIns.state()->pageCountAnswer = answer;
        const QString file = pdf(name, 2);
        const QByteArray before = userOptionsFile();
        const int last = PrivateCups::lastJobId(kPs);
        int printed = -1;
        QString message;
        QVERIFY2(printOfficeDocument(file, "auto", kPs, true, false, false, "A4", 3, false, &printed, &message),
                 qPrintable(message));
        QCOMPARE(printed, pages);
        QCOMPARE(standIns.state()->lastPrintedTo, kPs);
        QVERIFY(hasOption(standIns.state()->optionsAtPrint, kPs, "copies", "1"));
        QVERIFY(hasOption(standIns.state()->optionsAtPrint, kPs, "sides", "two-sided-long-edge"));
        checkPsJob(last, name, 3, false);
        QCOMPARE(userOptionsFile(), before);
    }

    void officeFailuresRestoreEverything()
    {
        const QMap<QString, QStringList> membersOf = {
            {"memo.docx", {"Visible", "Documents", "Open", "ComputeStatistics", "PrintOut", "Close", "Quit"}},
            {"deck.pptx", {"Presentations", "Open", "Slides", "Count", "PrintOptions", "PrintOut", "Close"}},
            {"book.xlsx", {"Workbooks", "Open", "ExecuteExcel4Macro", "PrintOut", "Close", "Quit"}},
        };
        m_injected = 0;
        QMap<QString, QString> messages;
        for (const QByteArray &start : kStartingFiles) {
            startFrom(start);
            const QByteArray before = userOptionsFile();
            for (auto it = membersOf.cbegin(); it != membersOf.cend(); ++it) {
                const QString file = pdf(it.key(), 1);
                const auto print = [&](QString *message) {
                    int pages = 0;
                    return printOfficeDocument(file, "auto", kPs, false, false, false, "A4", 1, false, &pages,
                                               message);
                };
                for (const QString &member : it.value())
                    failEachWay(member, it.key() + member, before, print, &messages);
            }
        }
        qInfo("Office: %d injected failures, each followed by a byte-identical restore", m_injected);
        QCOMPARE(messages.value("memo.docxDocuments3"),
                 QStringLiteral("The COM member is not an object: Documents"));
        QCOMPARE(messages.value("memo.docxPrintOut1"), QStringLiteral("The COM call failed: PrintOut, Unspecified error"));
        QCOMPARE(messages.value("deck.pptxOpen2"), QStringLiteral("The COM call failed: Open, stand-in stopped in Open"));
        QCOMPARE(messages.value("book.xlsxExecuteExcel4Macro1"), QStringLiteral("ok")); // pages unknown
        QCOMPARE(messages.value("memo.docxQuit2"), QStringLiteral("ok"));
    }

    // Two Acrobat prints and an office print of the same printer at once:
    // the engines' locks keep each engine's prints apart, and overlapping
    // overrides of one printer unwind; everything is restored.
    void threeAtOnce()
    {
        AutomationStandIns standIns;
        const QString a = pdf("thread a.pdf", 1);
        const QString b = pdf("thread b.pdf", 1);
        const QString c = pdf("thread c.docx", 1);
        const QByteArray before = userOptionsFile();
        const auto acrobat = [](const QString &file, bool duplex) {
            QString message;
            return printPdfWithAcrobat(file, kPs, duplex, false, true, "A4", 2, false, nullptr, &message);
        };
        QFuture<bool> first = QtConcurrent::run(acrobat, a, true);
        QFuture<bool> second = QtConcurrent::run(acrobat, b, false);
        QFuture<bool> third = QtConcurrent::run([c] {
            int pages = 0;
            QString message;
            return printOfficeDocument(c, "auto", kPs, true, true, false, "Letter", 1, false, &pages, &message);
        });
        const QList<bool> results = {first.result(), second.result(), third.result()};
        QCOMPARE(results, QList<bool>({true, true, true}));
        QCOMPARE(userOptionsFile(), before);
        QString defaultPrinter;
        Platform::getDefaultPrinter(&defaultPrinter);
        QCOMPARE(defaultPrinter, kRaw);
    }

    // The dispatch sends PDFs to Acrobat and documents to their suite.
    void dispatchRoutes()
    {
        AutomationStandIns standIns;
        PrintJob job;
        job.printerName = kPs;
        job.path = pdf("dispatched.pdf", 2);
        PrintResult result = dispatchPrintJob(job);
        QVERIFY2(result.success, qPrintable(result.message));
        QCOMPARE(result.pages, 2);
        QVERIFY(standIns.state()->takeCalls().contains("PrintPagesSilent(0,1,2,1,1)"));
        job.path = pdf("dispatched.odt", 1);
        QVERIFY(dispatchPrintJob(job).success);
        QVERIFY(standIns.state()->takeCalls().contains("Open(" + job.path + ")"));
        // A drawing is no suite's: LibreOffice takes it where it exists.
        job.path = pdf("drawing.odg", 1);
        result = dispatchPrintJob(job);
        QCOMPARE(result.success, isLibreOfficeAvailable());
        QVERIFY(standIns.state()->takeCalls().isEmpty());
    }

    // Without a suite's automation, "auto" goes to LibreOffice, and so do
    // OpenDocument drawings, with no desktop association: each document's
    // PDF arrives once, with the job's settings, as one job whose pages
    // are counted; the user's setup is never touched.
    // A batch's office documents are converted by one LibreOffice run;
    // each prints as it is when its turn comes, a damaged one fails alone.
    void officeDocumentsConvertedTogether()
    {
        if (!isLibreOfficeAvailable())
            QSKIP("LibreOffice is not installed");
        const QDir dir(m_dir.filePath("batch"));
        QVERIFY(dir.mkpath("a") && dir.mkpath("b") && dir.mkpath("rtf") && dir.mkpath("bin"));
        QStringList rtfs;
        for (const QString &word : QStringList{"Alpha", "Beta", "Before", "After"}) {
            rtfs << dir.filePath("rtf/" + word + ".rtf");
            writeFile(rtfs.last(), "{\\rtf1\\ansi " + word.toLatin1() + "\\par}");
        }
        QString message;
        QVERIFY2(runSoffice(QStringList{"--headless", "--convert-to", "docx", "--outdir", dir.filePath("rtf")} + rtfs,
                            &message),
                 qPrintable(message));
        const auto docx = [&](const QString &word) { return readFile(dir.filePath("rtf/" + word + ".docx")); };
        writeFile(dir.filePath("a/memo.docx"), docx("Alpha"));
        writeFile(dir.filePath("b/memo.docx"), docx("Beta"));   // the same name elsewhere
        writeFile(dir.filePath("a/edited.docx"), docx("Before"));
        writeFile(dir.filePath("a/damaged.docx"), docx("Alpha").left(300));
        writeFile(dir.filePath("a/notes.docx"), docx("Before"));

        // LibreOffice as found on the path, counting its runs.
        const QString log = dir.filePath("runs.log");
        writeFile(dir.filePath("bin/soffice"), "#!/bin/sh\necho run >> '" + QFile::encodeName(log) + "'\nexec "
                      + QFile::encodeName(findSoffice()) + " \"$@\"\n");
        QFile::setPermissions(dir.filePath("bin/soffice"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(dir.filePath("bin")) + ':' + path);
        const auto restorePath = qScopeGuard([&] { qputenv("PATH", path); });

        QList<PrintJob> jobs;
        for (const QString &name : QStringList{"a/memo.docx", "b/memo.docx", "a/edited.docx", "a/damaged.docx", "a/notes.docx"}) {
            PrintJob job;
            job.path = dir.filePath(name);
            job.printerName = kRaw;
            job.officeEngine = "libreoffice";
            jobs << job;
        }
        QCOMPARE(libreOfficeDocumentsOf(jobs).size(), 5);
        const OfficeBatchConversion batch(libreOfficeDocumentsOf(jobs));
        writeFile(dir.filePath("a/edited.docx"), docx("After")); // edited after the batch began
        QStringList printed;
        for (const PrintJob &job : jobs) {
            const int last = PrivateCups::lastJobId(kRaw);
            const PrintResult result = dispatchPrintJob(job);
            if (!result.success) {
                printed << result.message;
                continue;
            }
            const int id = PrivateCups::waitForJobAfter(kRaw, last, QFileInfo(job.path).fileName());
            const QString output = m_dir.filePath("job.pdf");
            writeFile(output, PrivateCups::waitForJobOutput(kRaw, id));
            QProcess text;
            text.start("pdftotext", {output, "-"});
            QVERIFY(text.waitForFinished(30000));
            printed << QString::fromUtf8(text.readAllStandardOutput()).simplified();
        }
        // LibreOffice refuses the damaged document, or now and then reads
        // what it can of it as text; it never prints another one's PDF.
        const QString damaged = printed.takeAt(3);
        QVERIFY2(damaged == "LibreOffice did not generate a PDF file." || damaged.startsWith("PK"), qPrintable(damaged));
        QCOMPARE(printed, QStringList({"Alpha", "Beta", "After", "Before"}));
        // One run for the batch; the other memo, the edited and the damaged
        // document each ran again on their own.
        QCOMPARE(readFile(log).count("run"), 4);
    }

    void libreOfficeDocuments()
    {
        if (!isLibreOfficeAvailable())
            QSKIP("LibreOffice is not installed");
        const QString rtf = m_dir.filePath("letter “draft”.rtf");
        writeFile(rtf, "{\\rtf1\\ansi First page\\page Second page\\par}");
        const QString csv = m_dir.filePath("sheet.csv");
        writeFile(csv, "a,b\n1,2\n");
        const QString deck = pdf("deck.pdf", 2);
        QString message;
        const auto convert = [&](const QStringList &arguments) {
            return runSoffice(QStringList{"--headless"} + arguments + QStringList{"--outdir", m_dir.path()},
                              &message);
        };
        QVERIFY2(convert({"--convert-to", "docx", rtf}) && convert({"--convert-to", "xlsx", csv})
                     && convert({"--infilter=impress_pdf_import", "--convert-to", "odp", deck})
                     && convert({"--infilter=draw_pdf_import", "--convert-to", "odg", deck}),
                 qPrintable(message));
        // Plain quotes and spaces in a name pass through.
        QVERIFY(QFile::copy(m_dir.filePath("deck.odg"), m_dir.filePath("plan \"A\" 2.odg")));

        const QByteArray before = userOptionsFile();
        const QMap<QString, int> pagesOf = {{"letter “draft”.docx", 2}, {"sheet.xlsx", 1}, {"deck.odp", 2},
                                            {"plan \"A\" 2.odg", 2}};
        for (const QString &name : pagesOf.keys()) {
            PrintJob job;
            job.path = m_dir.filePath(name);
            job.printerName = kPs;
            job.duplex = job.shortEdge = true;
            job.paperKey = "A4";
            job.copies = 2;
            const int last = PrivateCups::lastJobId(kPs);
            const PrintResult result = dispatchPrintJob(job);
            QVERIFY2(result.success, qPrintable(name + ": " + result.message));
            QCOMPARE(result.pages, pagesOf.value(name));
            // A one-page sheet has nothing to print on a second side.
            int arrived = 0;
            checkPsJob(last, name, 2, name != "sheet.xlsx", &arrived);
            QCOMPARE(PrivateCups::waitForJobAfter(kPs, arrived, name, 500), 0); // once
            QCOMPARE(userOptionsFile(), before);
        }
        QVERIFY2(convertOfficeToPdf(rtf, "auto", m_dir.filePath("letter.pdf"), &message), qPrintable(message));
        QVERIFY(readFile(m_dir.filePath("letter.pdf")).startsWith("%PDF"));

        // A hot folder's document caches through its PDF.
        PrintJob cached;
        cached.path = m_dir.filePath("letter “draft”.docx");
        cached.printerName = kRaw;
        cached.hotFolderId = 5;
        const CacheResult built = buildCacheForJob(cached);
        QVERIFY2(built.success, qPrintable(built.message));

        // Documents it cannot read, or reads as nothing, and a printer gone.
        // The user's setup stays as it was whatever happens.
        const QString truncated = m_dir.filePath("truncated.odt");
        writeFile(truncated, readFile(m_dir.filePath("deck.odp")).left(2000));
        const QString emptySheet = m_dir.filePath("empty.xlsx");
        writeFile(emptySheet, QByteArray());
        const QString corruptDrawing = m_dir.filePath("corrupt.odg");
        writeFile(corruptDrawing, readFile(m_dir.filePath("deck.odg")).left(2000));
        const auto print = [&](const QString &path, const QString &printer) {
            PrintJob job;
            job.path = path;
            job.printerName = printer;
            const PrintResult result = dispatchPrintJob(job);
            if (userOptionsFile() != before)
                return QStringLiteral("the user's options changed");
            return result.success ? QStringLiteral("ok") : result.message;
        };
        QCOMPARE(print(truncated, kPs), QStringLiteral("LibreOffice did not generate a PDF file."));
        QCOMPARE(print(corruptDrawing, kPs), QStringLiteral("LibreOffice did not generate a PDF file."));
        QVERIFY(print(m_dir.filePath("sheet.xlsx"), "Gone_Printer").contains("Gone_Printer"));
        // LibreOffice reads an empty file as an empty sheet: one blank page.
        const int beforeEmpty = PrivateCups::lastJobId(kPs);
        QCOMPARE(print(emptySheet, kPs), QStringLiteral("ok"));
        QVERIFY(PrivateCups::waitForJobAfter(kPs, beforeEmpty, "empty.xlsx") > 0);

        // A name LibreOffice completes differently: ".odt" becomes ".odt.pdf".
        const QString bare = m_dir.filePath(".odt");
        QVERIFY(QFile::copy(m_dir.filePath("deck.odg"), bare));
        QVERIFY2(convertWithLibreOffice(bare, m_dir.filePath("bare.pdf"), &message), qPrintable(message));
        QVERIFY(readFile(m_dir.filePath("bare.pdf")).startsWith("%PDF"));

        QVERIFY(!runSoffice({"--headless", "--definitely-not-an-option"}, &message));
        QVERIFY2(message.startsWith("LibreOffice exited with code 1: ") && message.contains("Error in option"),
                 qPrintable(message));

        // A run past its time is ended with everything it started, and its
        // profile is gone.
        // A temporary folder of this case's own: other suites use the
        // shared one meanwhile.
        const QTemporaryDir privateTemp;
        const ScopedEnv tmpdir("TMPDIR", QFile::encodeName(privateTemp.path()));
        const auto temporaryEntries = [] {
            return QDir::temp().entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        };
        const QStringList temporaryBefore = temporaryEntries();
        QCOMPARE(QDir::tempPath(), privateTemp.path());
        setSofficeTimeLimits(10000, 200);
        QVERIFY(!convertOfficeToPdf(rtf, "auto", m_dir.filePath("late.pdf"), &message));
        setSofficeTimeLimits(10000, 180000);
        QCOMPARE(message, QStringLiteral("LibreOffice did not finish within the allowed time."));
        QTRY_VERIFY(liveSofficeProcesses(privateTemp.path()).isEmpty());
        QCOMPARE(temporaryEntries(), temporaryBefore);
    }

    // A CAJ file with no reader: the message names the readers and the
    // three attempts' codes; nothing of the user's setup changes.
    void cajWithNothingRegistered()
    {
        const QString caj = m_dir.filePath("thesis.caj");
        writeFile(caj, "CAJ");
        const QByteArray before = userOptionsFile();
        int pages = 0;
        QString message;
        QVERIFY(!printWithShellVerb(caj, kPs, false, false, false, "A4", 1, false, &pages, &message));
        QCOMPARE(message, QStringLiteral("WPS PDF, CAJViewer, or another reader that can print CAJ files is "
                                         "not installed, so this file cannot be printed. Install WPS PDF, "
                                         "CAJViewer, or another reader that can print CAJ files and try "
                                         "again.（printto=1155，print=1155，WPS=0）"));
        QCOMPARE(userOptionsFile(), before);
    }

    // Conversion for the cache: the document's PDF, rendered by the builder.
    void conversionForTheCache()
    {
        AutomationStandIns standIns;
        const QString file = pdf("to cache.docx", 3);
        const QString target = m_dir.filePath("converted.pdf");
        QString message;
        QVERIFY2(convertOfficeToPdf(file, "auto", target, &message), qPrintable(message));
        QVERIFY(standIns.state()->takeCalls().contains("ExportAsFixedFormat(" + target + ",17)"));
        standIns.state()->setFault("ExportAsFixedFormat", Fault::WrongAnswer);
        QVERIFY(!convertOfficeToPdf(file, "auto", target, &message));
        QCOMPARE(message, QStringLiteral("The document application did not create the intermediate PDF file"));
        QVERIFY(!QFile::exists(target));
        standIns.state()->setFault(QString(), Fault::None);

        PrintJob job;
        job.path = file;
        job.printerName = kRaw;
        job.hotFolderId = 5;
        job.officeEngine = "auto";
        const CacheResult result = buildCacheForJob(job);
        QVERIFY2(result.success, qPrintable(result.message));
        QCOMPARE(result.pageCount, 3);
    }
};

DUNMARROW_TEST_MAIN(TestAutomation)
#include "tst_automation.moc"
