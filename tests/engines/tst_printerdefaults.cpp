#include "PrinterQueues.h"
#include "TestMain.h"

#include "engines/OverrideJournal.h"
#include "engines/PrinterDefaults.h"
#include "platform/LastError.h"
#include "platform/LpOptions.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <unistd.h>

using namespace Platform;

namespace {

// A plain-text document of the given number of pages (form feeds).
QString textDocument(const QTemporaryDir &dir, int pages)
{
    const QString path = dir.filePath(QStringLiteral("pages %1.txt").arg(pages));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        for (int i = 1; i <= pages; ++i)
            file.write(QByteArray("Page ") + QByteArray::number(i) + "\n\f");
    }
    return path;
}

bool overrideFor(const QString &printer, int copies, PrinterDefaultsOverride *override)
{
    QString message;
    const bool ok = overridePrinterDefaults(printer, {copies, 1, false, "A4", false},
                                            OverrideMessages::Office, override, &message);
    if (!ok)
        qWarning("%s", qPrintable(message));
    return ok;
}

// The child mode: override a printer's defaults, then die as a killed
// program does, without restoring anything.
// With "journal only", it dies after recording the override and before
// writing it.
int overrideAndDie(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return 1;
    if (arguments.value(1) == QLatin1String("default switch")) {
        if (!(new DefaultPrinterSwitch)->switchTo(arguments.first()))
            return 1;
    } else if (arguments.size() > 1) {
        LpOptionsSnapshot now;
        OverrideJournal::Entry entry;
        if (!readLpOptions(&now)
            || !OverrideJournal::begin(arguments.first(),
                                       withDestinationOptions(now.bytes, arguments.first(), {{"copies", "5"}}),
                                       &entry))
            return 1;
    } else if (!overrideFor(arguments.first(), 5, new PrinterDefaultsOverride)) {
        return 1;
    }
    ::kill(::getpid(), SIGKILL);
    return 2;
}

bool runKilledOverride(const QString &printer, const QString &mode = QString())
{
    QProcess child;
    QStringList arguments{QString::fromLatin1(kTestChildArgument), printer};
    if (!mode.isEmpty())
        arguments << mode;
    child.start(QCoreApplication::applicationFilePath(), arguments);
    return child.waitForFinished(60000) && child.exitStatus() == QProcess::CrashExit;
}

PaperOption paperNamed(const PrinterDefaults &defaults, const QString &name)
{
    for (const PaperOption &paper : defaults.papers) {
        if (paper.name == name)
            return paper;
    }
    return {};
}

} // namespace

class TestPrinterDefaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(PrivateCups::isAvailable()); }
    void init() { restoreLpOptions(LpOptionsSnapshot()); }

    // The queue's own defaults, then the user's options over them.
    void readPostScriptQueue()
    {
        PrinterDefaults defaults;
        QString message;
        QVERIFY2(readPrinterDefaults(kPs, &defaults, &message), qPrintable(message));
        QCOMPARE(defaults.duplexMode, 0);
        QVERIFY(defaults.color);
        QCOMPARE(defaults.copies, 1);
        QCOMPARE(defaults.paperKey, QStringLiteral("win:1:US Letter"));
        QCOMPARE(paperNamed(defaults, "A4").key, QStringLiteral("win:9:A4"));
        QCOMPARE(paperNamed(defaults, "Envelope #10").code, 20);
        QCOMPARE(defaults.papers.first().name, QStringLiteral("US Letter"));

        QVERIFY(writeLpOptions("Dest Dunmarrow_PS sides=two-sided-short-edge media=A4 copies=12 "
                               "print-color-mode=monochrome\n"));
        PrinterDefaults overlaid;
        QVERIFY(readPrinterDefaults(kPs, &overlaid, &message));
        QCOMPARE(overlaid.duplexMode, 2);
        QVERIFY(!overlaid.color);
        QCOMPARE(overlaid.copies, 12);
        QCOMPARE(overlaid.paperKey, QStringLiteral("win:9:A4"));

        // A6 is neither offered by the PostScript queue nor a fallback name.
        QVERIFY(writeLpOptions("Dest Dunmarrow_PS media=iso_a6_105x148mm\n"));
        QVERIFY(readPrinterDefaults(kPs, &overlaid, &message));
        QCOMPARE(overlaid.paperKey, QStringLiteral("win:70:A4"));
    }

    void readRawQueue()
    {
        PrinterDefaults defaults;
        QString message;
        QVERIFY2(readPrinterDefaults(kRaw, &defaults, &message), qPrintable(message));
        QCOMPARE(defaults.duplexMode, 0);
        QVERIFY(!defaults.color);
        // A raw queue lists no papers: its current paper stands alone.
        QCOMPARE(defaults.papers.size(), 1);
        QCOMPARE(defaults.papers.first().key, defaults.paperKey);

        // The user's paper is the current one, though no list offers it.
        QVERIFY(writeLpOptions("Dest Dunmarrow_Raw media=iso_a5_148x210mm\n"));
        PrinterDefaults overlaid;
        QVERIFY(readPrinterDefaults(kRaw, &overlaid, &message));
        QCOMPARE(overlaid.paperKey, QStringLiteral("win:11:A5"));
    }

    void readFailures()
    {
        PrinterDefaults defaults;
        QString message;
        QVERIFY(!readPrinterDefaults(QStringLiteral("  "), &defaults, &message));
        QCOMPARE(message, QStringLiteral("Select a printer first."));
        QVERIFY(!readPrinterDefaults(QStringLiteral("No Such Printer"), &defaults, &message));
        QCOMPARE(message,
                 QStringLiteral("Unable to open printer 'No Such Printer' (error 1801)."));
    }

    // While the override lives, a job from any client carries the settings.
    void overrideReachesTheQueueAndIsRestored()
    {
        QTemporaryDir dir;
        const QString document = textDocument(dir, 3);
        {
            PrinterDefaultsOverride override;
            QString message;
            QVERIFY2(overridePrinterDefaults(kPs, {2, 1, false, "A4", false},
                                             OverrideMessages::Office, &override, &message),
                     qPrintable(message));
            QVERIFY(override.isActive());

            const int job = PrivateCups::submitWithLp(kPs, document);
            QVERIFY(job > 0);
            const QByteArray output = PrivateCups::waitForJobOutput(kPs, job);
            QVERIFY(!output.isEmpty());
            QVERIFY2(output.contains("%%Requirements: numcopies(2) duplex"), output.left(800));
            QVERIFY(output.contains("/Duplex true"));
            QVERIFY(output.contains("%%HiResBoundingBox: 0 0 595.00 842.00"));
            QVERIFY(restorePrinterDefaults(&override));
            QVERIFY(!override.isActive());
        }
        QCOMPARE(userOptionsFile(), QByteArray("<no file>"));

        // Back to the driver's own defaults for the next job.
        const int job = PrivateCups::submitWithLp(kPs, document);
        const QByteArray output = PrivateCups::waitForJobOutput(kPs, job);
        QVERIFY(!output.contains("duplex"));
        QVERIFY(output.contains("%%HiResBoundingBox: 0 0 612.00 792.00"));
    }

    void restoreIsByteIdentical()
    {
        const QByteArray before = "# printers of room 4\r\n"
                                  "Default Dunmarrow_Raw copies=2\n"
                                  "Dest Dunmarrow_PS/draft   Resolution=150dpi\n"
                                  "Dest Dunmarrow_PS InputSlot=Default  # tray\n"
                                  "Dest Other sides=one-sided";
        QVERIFY(writeLpOptions(before));
        {
            // The engine fails between override and restore: the override
            // object still restores when it goes away.
            PrinterDefaultsOverride override;
            QString message;
            QVERIFY(overridePrinterDefaults(kPs, {1, 2, true, "win:27:Envelope DL", false},
                                            OverrideMessages::Acrobat, &override, &message));
            QVERIFY(userOptionsFile() != before);
            QVERIFY(hasOption(userOptionsFile(), kPs, "InputSlot", "Default"));
        }
        QCOMPARE(userOptionsFile(), before);
    }

    // Overrides of two printers restored out of order, with the default
    // printer changed in between: each printer gets its own lines back and
    // the change survives.
    void overlappingOverrides()
    {
        const QByteArray before = "Dest Dunmarrow_PS copies=7\nDest Dunmarrow_Raw copies=2\n";
        QVERIFY(writeLpOptions(before));
        {
            PrinterDefaultsOverride ps;
            PrinterDefaultsOverride raw;
            QVERIFY(overrideFor(kPs, 3, &ps));
            QVERIFY(overrideFor(kRaw, 4, &raw));
            QVERIFY(setDefaultPrinter(kRaw));
            QVERIFY(restorePrinterDefaults(&ps));
            QVERIFY(restorePrinterDefaults(&raw));
        }
        QCOMPARE(userOptionsFile(), QByteArray("Dest Dunmarrow_PS copies=7\nDefault Dunmarrow_Raw copies=2\n"));

        // Two engines override the same printer and finish in the order they began.
        QVERIFY(writeLpOptions(before));
        {
            PrinterDefaultsOverride first;
            PrinterDefaultsOverride second;
            QVERIFY(overrideFor(kPs, 3, &first));
            QVERIFY(overrideFor(kPs, 4, &second));
            QVERIFY(restorePrinterDefaults(&first));
            QCOMPARE(lpOptionsFor(userOptionsFile(), kPs).first(), qMakePair(QStringLiteral("copies"), QStringLiteral("4")));
            QVERIFY(restorePrinterDefaults(&second));
        }
        QCOMPARE(userOptionsFile(), before);
        QVERIFY(QDir(OverrideJournal::folder()).entryList({"*.json"}).isEmpty());
    }

    // A program killed while its override is in place, or a restore that
    // could not write: the next start puts the printer's lines back, unless
    // someone changed them since.
    void unfinishedRestoresAreDoneLater()
    {
        // A hand-kept file: two lines for the printer, instances after each
        // (which take the options above them), CR line ends. It comes back
        // line for line, each in its place.
        const QByteArray handKept = "Dest Dunmarrow_PS copies=2\r\nDest Dunmarrow_PS/draft sides=one-sided\r\n"
                                    "dest Dunmarrow_PS media=A4\r\nDest Dunmarrow_PS/fine copies=3\r\n";
        QVERIFY(writeLpOptions(handKept));
        QVERIFY(runKilledOverride(kPs));
        QVERIFY(userOptionsFile() != handKept);
        QCOMPARE(restoreAbandonedPrinterDefaults(), 1);
        QCOMPARE(userOptionsFile(), handKept);

        const QByteArray before = "Dest Dunmarrow_PS copies=7\n";
        QVERIFY(writeLpOptions(before));
        QVERIFY(runKilledOverride(kPs));
        QVERIFY(userOptionsFile() != before);
        QCOMPARE(restoreAbandonedPrinterDefaults(), 1);
        QCOMPARE(userOptionsFile(), before);

        // The default printer switched for an application that prints to it.
        QVERIFY(writeLpOptions("Default Dunmarrow_Raw\n" + before));
        QVERIFY(runKilledOverride(kPs, "default switch"));
        QCOMPARE(lpOptionsDefaultDestination(userOptionsFile()), QString(kPs));
        QCOMPARE(restoreAbandonedPrinterDefaults(), 1);
        QCOMPARE(userOptionsFile(), "Default Dunmarrow_Raw\n" + before);
        QVERIFY(writeLpOptions(before));

        QVERIFY(runKilledOverride(kPs));
        QVERIFY(writeLpOptions("Dest Dunmarrow_PS copies=11\n"));
        // The next override settles it first, and leaves the user's change.
        PrinterDefaultsOverride override;
        QVERIFY(overrideFor(kPs, 3, &override));
        QVERIFY(restorePrinterDefaults(&override));
        QCOMPARE(userOptionsFile(), QByteArray("Dest Dunmarrow_PS copies=11\n"));
        QCOMPARE(restoreAbandonedPrinterDefaults(), 0);

        // The user saves the printer's properties while an engine's
        // override is in place: the user's save wins over the restore.
        QVERIFY(writeLpOptions(before));
        QVERIFY(overrideFor(kPs, 3, &override));
        {
            PrinterHandle printer;
            QVERIFY(openPrinter(kPs, &printer));
            DeviceMode saved;
            QCOMPARE(documentPropertiesRead(printer, &saved), IDOK);
            saved.dmCopies = 9;
            QVERIFY(setPrinterInfo9(printer, saved));
        }
        QVERIFY(restorePrinterDefaults(&override));
        QVERIFY(hasOption(userOptionsFile(), kPs, "copies", "9"));

        // A later override of the same printer died before it wrote: ours
        // still puts back what it found.
        QVERIFY(writeLpOptions(before));
        QVERIFY(overrideFor(kPs, 3, &override));
        QVERIFY(runKilledOverride(kPs, "journal only"));
        QVERIFY(restorePrinterDefaults(&override));
        QCOMPARE(userOptionsFile(), before);
        QCOMPARE(restoreAbandonedPrinterDefaults(), 0);

        // A restore that cannot write is tried again, not forgotten.
        const QString folder = QFileInfo(userLpOptionsPath()).absolutePath();
        QVERIFY(overrideFor(kPs, 3, &override));
        QVERIFY(makeFileReadOnly(folder));
        const bool restored = restorePrinterDefaults(&override);
        makeFileWritable(folder);
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                          | QFileDevice::ExeOwner);
        QVERIFY(!restored);
        QVERIFY(userOptionsFile() != before);
        QCOMPARE(restoreAbandonedPrinterDefaults(), 1);
        QCOMPARE(userOptionsFile(), before);
    }

    void driverSettingsKeepAllButCopies()
    {
        QVERIFY(writeLpOptions("Dest Dunmarrow_PS sides=two-sided-long-edge\n"));
        PrinterDefaultsOverride override;
        QString message;
        QVERIFY(overridePrinterDefaults(kPs, {10000, 0, false, "A3", true},
                                        OverrideMessages::ShellVerb, &override, &message));
        PrinterDefaults now;
        QVERIFY(readPrinterDefaults(kPs, &now, &message));
        QCOMPARE(now.copies, 9999);
        QCOMPARE(now.duplexMode, 1);
        QCOMPARE(now.paperKey, QStringLiteral("win:1:US Letter"));
    }

    void failuresLeaveTheOptionsAlone_data()
    {
        QTest::addColumn<QString>("printer");
        QTest::addColumn<QString>("paper");
        QTest::addColumn<int>("engine");
        QTest::addColumn<bool>("blockFile");
        QTest::addColumn<QString>("expected");
        QTest::newRow("unknown printer")
            << "No_Such_Printer" << "A4" << int(OverrideMessages::Acrobat) << false
            << "Unable to open printer settings: No_Such_Printer (no such printer is installed)";
        QTest::newRow("unreadable options")
            << kPs << "A4" << int(OverrideMessages::Office) << true
            << "Unable to read the printer defaults: Dunmarrow_PS";
        QTest::newRow("paper of no known size, office")
            << kPs << "win:30000:Mystery" << int(OverrideMessages::Office) << false
            << "The printer driver rejected the duplex or color settings";
        QTest::newRow("paper of no known size, shell verb")
            << kPs << "win:30000:Mystery" << int(OverrideMessages::ShellVerb) << false
            << "The printer driver rejected the selected print settings";
    }

    void failuresLeaveTheOptionsAlone()
    {
        QFETCH(QString, printer);
        QFETCH(QString, paper);
        QFETCH(int, engine);
        QFETCH(bool, blockFile);
        QFETCH(QString, expected);

        const QByteArray before = "Dest Dunmarrow_PS copies=7\n";
        if (blockFile)
            QVERIFY(QDir().mkpath(userLpOptionsPath()));
        else
            QVERIFY(writeLpOptions(before));

        PrinterDefaultsOverride override;
        QString message;
        QVERIFY(!overridePrinterDefaults(printer, {1, 1, false, paper, false},
                                         OverrideMessages(engine), &override, &message));
        QCOMPARE(message, expected);
        QVERIFY(!override.isActive());
        if (blockFile) {
            QVERIFY(QFileInfo(userLpOptionsPath()).isDir());
            QDir(userLpOptionsPath()).removeRecursively();
        } else {
            QCOMPARE(userOptionsFile(), before);
        }
    }
};

DUNMARROW_TEST_MAIN_WITH_CHILD(TestPrinterDefaults, overrideAndDie)
#include "tst_printerdefaults.moc"
