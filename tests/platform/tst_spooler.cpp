#include "PrinterQueues.h"
#include "TestMain.h"

#include "platform/LastError.h"
#include "platform/LpOptions.h"
#include "platform/PaperCodes.h"
#include "platform/ChildProcess.h"
#include "platform/SpoolJobs.h"
#include "platform/Spooler.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Platform;

namespace {

DeviceMode readDeviceMode(const QString &printer)
{
    PrinterHandle handle;
    DeviceMode dm;
    if (!openPrinter(printer, &handle) || documentPropertiesRead(handle, &dm) != IDOK)
        qWarning("could not read %s", qPrintable(printer));
    return dm;
}

bool runLpadmin(const QStringList &arguments)
{
    QProcess lpadmin;
    lpadmin.start(QStringLiteral("lpadmin"), arguments);
    return lpadmin.waitForFinished(30000) && lpadmin.exitCode() == 0;
}

} // namespace

class TestSpooler : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(PrivateCups::isAvailable()); }
    void init() { restoreLpOptions(LpOptionsSnapshot()); }

    void openingNamesThatAreNotPrinters_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("unknown") << "No_Such_Printer";
        QTest::newRow("empty") << "";
        QTest::newRow("spaces and quotes") << "My \"Printer\" 'x'";
        QTest::newRow("non-ASCII") << "Drucker Büro 打印机";
        QTest::newRow("instance syntax") << "Dunmarrow_PS/../x";
    }

    void openingNamesThatAreNotPrinters()
    {
        QFETCH(QString, name);
        PrinterHandle handle;
        setLastError(ErrorSuccess);
        QVERIFY(!openPrinter(name, &handle));
        QVERIFY(!handle.isOpen());
        QCOMPARE(lastError(), quint32(ErrorInvalidPrinterName));
    }

    // Down (nobody listens) and stuck (connections are taken, never
    // answered): neither may hold a print for long, both read as a scheduler
    // that does not answer.
    void schedulerThatDoesNotAnswer_data()
    {
        QTest::addColumn<bool>("stuck");
        QTest::newRow("down") << false;
        QTest::newRow("stuck") << true;
    }

    void schedulerThatDoesNotAnswer()
    {
        QFETCH(bool, stuck);
        // A socket that listens and never reads: the kernel takes the
        // connections, nobody answers them.
        const int silent = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        QVERIFY(bind(silent, reinterpret_cast<sockaddr *>(&address), length) == 0);
        QVERIFY(listen(silent, 8) == 0);
        QVERIFY(getsockname(silent, reinterpret_cast<sockaddr *>(&address), &length) == 0);
        const auto closeSocket = qScopeGuard([silent] { close(silent); });
        const QByteArray server = stuck ? "127.0.0.1:" + QByteArray::number(ntohs(address.sin_port))
                                        : QByteArray("127.0.0.1:9");
        // libcups reads the server once per thread: ask from a new thread.
        ScopedEnv env("CUPS_SERVER", server);
        setSchedulerTimeout(300);
        bool opened = true;
        quint32 error = 0;
        QString defaultName = QStringLiteral("unchanged");
        bool gotDefault = true;
        std::thread([&] {
            PrinterHandle handle;
            opened = openPrinter(kPs, &handle);
            error = lastError();
            gotDefault = getDefaultPrinter(&defaultName);
        }).join();
        setSchedulerTimeout(15000);
        QVERIFY(!opened);
        QCOMPARE(error, quint32(ErrorServerUnavailable));
        QVERIFY(!gotDefault);
        QVERIFY(defaultName.isEmpty());
    }

    void helperProgramThatHangs()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath("out");
        int exitCode = -1;
        // The shell waits for a child of its own: both must go.
        setLastError(ErrorSuccess);
        QVERIFY(!runToFile("/bin/sh", {"-c", "echo started; sleep 31.7 & wait"}, out, 300,
                           &exitCode));
        QCOMPARE(lastError(), quint32(ErrorTimeout));
        QProcess pgrep;
        pgrep.start("pgrep", {"-f", "sleep 31.7"});
        QVERIFY(pgrep.waitForFinished());
        QCOMPARE(pgrep.exitCode(), 1); // no such process left

        QVERIFY(runToFile("/bin/sh", {"-c", "printf done; exit 3"}, out, 30000, &exitCode));
        QCOMPARE(exitCode, 3);
        QCOMPARE(readFile(out), QByteArray("done"));

        // A full disk: the program carries on and says it succeeded, as a
        // filter chain does; what did not reach the file fails the run.
        setLastError(ErrorSuccess);
        QVERIFY(!runToFile("/bin/sh", {"-c", "head -c 1000000 /dev/zero; exit 0"}, "/dev/full", 30000, &exitCode));
        QCOMPARE(lastError(), quint32(ErrorDiskFull));
    }

    void jobTitlesWithControlCharacters()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("data.prn");
        QVERIFY(writeFile(file, "raw bytes"));
        PrinterHandle raw;
        QVERIFY(openPrinter(kRaw, &raw));
        int job = 0;
        QVERIFY(submitDocument(raw, file, "Report\t2026\x01 draft.pdf", "application/vnd.cups-raw", {}, &job));
        QVERIFY(!PrivateCups::waitForJobOutput(kRaw, job).isEmpty());
        QVERIFY(PrivateCups::jobInfo(kRaw, job).startsWith("title=Report 2026  draft.pdf\n"));
    }

    // The printer list as the program has it, instances the user defined
    // included, and each name of it opens.
    void printerListAndInstances()
    {
        QVERIFY(writeLpOptions("Dest Dunmarrow_PS/draft copies=2\n"));
        QStringList names;
        QVERIFY(printerNames(&names));
        for (const QString &name : {kRaw, kPs, QStringLiteral("Dunmarrow_PS/draft")}) {
            QVERIFY2(names.contains(name), qPrintable(names.join(',')));
            PrinterHandle handle;
            QVERIFY(openPrinter(name, &handle));
        }
        PrinterHandle draft;
        QVERIFY(openPrinter("Dunmarrow_PS/draft", &draft));
        DeviceMode dm;
        QCOMPARE(documentPropertiesRead(draft, &dm), IDOK);
        QCOMPARE(dm.dmCopies, short(2));
        QVERIFY(!openPrinter("Dunmarrow_PS/final", &draft));
    }

    void printerDeletedAfterOpen()
    {
        const QString name = QStringLiteral("Dunmarrow_Vanishing");
        QVERIFY(runLpadmin({"-p", name, "-E", "-v", "file:/dev/null"}));
        PrinterHandle handle;
        QVERIFY(openPrinter(name, &handle));
        QVERIFY(runLpadmin({"-x", name}));

        setLastError(ErrorSuccess);
        QCOMPARE(documentPropertiesSize(handle), -1);
        QVERIFY(lastError() != ErrorSuccess);
        DeviceMode dm;
        QCOMPARE(documentPropertiesRead(handle, &dm), -1);
        QList<quint16> codes;
        QCOMPARE(deviceCapabilitiesPapers(name, &codes), -1);
    }

    // A batch keeps its printers set up; what changes meanwhile is seen at
    // the next file: the user's options, the printer's own defaults, the
    // printer itself gone.
    void keptPrintersFollowChanges()
    {
        const QString name = QStringLiteral("Dunmarrow_Kept");
        QVERIFY(runLpadmin({"-p", name, "-E", "-v", "file:/dev/null", "-m", "drv:///sample.drv/generic.ppd",
                            "-o", "PageSize=A4"}));
        QTest::qWait(2100); // a printer changed within the second is not kept
        const PrinterReuseScope keep;
        QVERIFY(writeLpOptions("Dest Dunmarrow_Kept media=iso_a5_148x210mm\n"));
        QCOMPARE(readDeviceMode(name).dmPaperSize, DMPAPER_A5);
        QVERIFY(restoreLpOptions(LpOptionsSnapshot()));
        QCOMPARE(readDeviceMode(name).dmPaperSize, DMPAPER_A4);
        QVERIFY(runLpadmin({"-p", name, "-o", "PageSize=Letter"}));
        QCOMPARE(readDeviceMode(name).dmPaperSize, DMPAPER_LETTER);
        QVERIFY(runLpadmin({"-x", name}));
        PrinterHandle handle;
        QVERIFY(!openPrinter(name, &handle));
        QCOMPARE(lastError(), ErrorInvalidPrinterName);
    }

    void userOptionsOverlayTheDefaults()
    {
        // PostScript-description names and odd case, as users type them.
        QVERIFY(writeLpOptions("Dest dunmarrow_ps Duplex=DuplexTumble PageSize=A4 ColorModel=Gray "
                               "COPIES=3 InputSlot=Default\n"));
        const DeviceMode dm = readDeviceMode(kPs);
        QCOMPARE(dm.dmDuplex, DMDUP_HORIZONTAL);
        QCOMPARE(dm.dmPaperSize, DMPAPER_A4);
        QCOMPARE(dm.dmColor, DMCOLOR_MONOCHROME);
        QCOMPARE(dm.dmCopies, short(3));
        QCOMPARE(dm.options, (OptionList{{"InputSlot", "Default"}}));

        QVERIFY(writeLpOptions("Dest Dunmarrow_PS sides=two-sided-long-edge media=iso_a5_148x210mm\n"));
        const DeviceMode ipp = readDeviceMode(kPs);
        QCOMPARE(ipp.dmDuplex, DMDUP_VERTICAL);
        QCOMPARE(ipp.dmPaperSize, DMPAPER_A5);
    }

    void paperListOfThePostScriptQueue()
    {
        QList<quint16> codes;
        QStringList names;
        const int count = deviceCapabilitiesPapers(kPs, &codes);
        QCOMPARE(deviceCapabilitiesPaperNames(kPs, &names), count);
        QVERIFY(count > 5);
        QCOMPARE(codes.size(), names.size());
        // The driver's own names, in its order.
        QCOMPARE(names.first(), QStringLiteral("US Letter"));
        QCOMPARE(codes.first(), quint16(DMPAPER_LETTER));
        QCOMPARE(codes.at(names.indexOf("A4")), quint16(DMPAPER_A4));
        QCOMPARE(codes.at(names.indexOf("Envelope DL")), quint16(27));

        // The same answer on every run: no per-run hashing.
        QList<quint16> again;
        deviceCapabilitiesPapers(kPs, &again);
        QCOMPARE(again, codes);
    }

    void customPaperCodesAreStableAndDistinct()
    {
        const auto codes = assignPaperCodes({"iso_a4_210x297mm", "custom_photo_100x150mm",
                                             "om_small-photo_100x150mm", "custom_photo_100x150mm"});
        QCOMPARE(codes.at(0).code, DMPAPER_A4);
        QVERIFY(codes.at(1).code >= DMPAPER_USER);
        QVERIFY(codes.at(2).code >= DMPAPER_USER);
        QVERIFY(codes.at(1).code != codes.at(2).code);
        QVERIFY(codes.at(3).code != codes.at(1).code);
        // Same name, same code, whatever else is in the list.
        QCOMPARE(assignPaperCodes({"custom_photo_100x150mm"}).first().code, codes.at(1).code);
    }

    void mergeAdjustsLikeADriver()
    {
        PrinterHandle raw;
        QVERIFY(openPrinter(kRaw, &raw));
        DeviceMode dm = readDeviceMode(kRaw);
        dm.dmDuplex = DMDUP_VERTICAL;
        dm.dmColor = DMCOLOR_COLOR;
        dm.dmCopies = 20000;
        dm.dmFields |= DM_DUPLEX | DM_COLOR | DM_COPIES;
        QCOMPARE(documentPropertiesMerge(raw, &dm), IDOK);
        // No duplexer and no colour: what the printer can do instead.
        QCOMPARE(dm.dmDuplex, DMDUP_SIMPLEX);
        QCOMPARE(dm.dmColor, DMCOLOR_MONOCHROME);
        QVERIFY(dm.dmCopies >= 1 && dm.dmCopies <= 9999);

        PrinterHandle ps;
        QVERIFY(openPrinter(kPs, &ps));
        DeviceMode psMode = readDeviceMode(kPs);
        psMode.dmDuplex = DMDUP_HORIZONTAL;
        psMode.dmPaperSize = 70; // A6: a known size this printer does not offer
        QCOMPARE(documentPropertiesMerge(ps, &psMode), IDOK);
        QCOMPARE(psMode.dmDuplex, DMDUP_HORIZONTAL);
        QCOMPARE(psMode.dmPaperSize, DMPAPER_LETTER);
        psMode.dmPrintQuality = 1200;
        QCOMPARE(documentPropertiesMerge(ps, &psMode), IDOK);
        QCOMPARE(psMode.dmPrintQuality, short(300));
    }

    void mergeRefusesWhatMeansNothing_data()
    {
        QTest::addColumn<quint32>("field");
        QTest::addColumn<int>("value");
        QTest::newRow("duplex code") << DM_DUPLEX << 7;
        QTest::newRow("colour code") << DM_COLOR << 0;
        QTest::newRow("unknown paper") << DM_PAPERSIZE << 30000;
        QTest::newRow("paper zero") << DM_PAPERSIZE << 0;
        QTest::newRow("resolution zero") << DM_PRINTQUALITY << 0;
    }

    void mergeRefusesWhatMeansNothing()
    {
        QFETCH(quint32, field);
        QFETCH(int, value);
        PrinterHandle ps;
        QVERIFY(openPrinter(kPs, &ps));
        DeviceMode dm = readDeviceMode(kPs);
        dm.dmFields |= field;
        switch (field) {
        case DM_DUPLEX: dm.dmDuplex = short(value); break;
        case DM_COLOR: dm.dmColor = short(value); break;
        case DM_PAPERSIZE: dm.dmPaperSize = short(value); break;
        default: dm.dmPrintQuality = short(value); break;
        }
        QVERIFY(documentPropertiesMerge(ps, &dm) < 0);
        QCOMPARE(lastError(), quint32(ErrorInvalidParameter));
    }

    void userDefaultsAreWrittenAndRestoredExactly()
    {
        const QByteArray before = "# keep me\nDest Dunmarrow_Raw copies=4\nDefault Dunmarrow_Raw/x a=b\n";
        QVERIFY(writeLpOptions(before));

        PrinterHandle ps;
        QVERIFY(openPrinter(kPs, &ps));
        QVERIFY(printerInfo9Size(ps) > 0);
        PrinterInfo9 saved;
        QVERIFY(getPrinterInfo9(ps, &saved));
        QVERIFY(saved.devMode.has_value());
        QCOMPARE(saved.saved.lines, destinationLines(before, kPs));

        DeviceMode changed = *saved.devMode;
        changed.dmDuplex = DMDUP_VERTICAL;
        changed.dmPaperSize = DMPAPER_A4;
        changed.options << qMakePair(QStringLiteral("PageSize"), QStringLiteral("Legal"));
        QVERIFY(setPrinterInfo9(ps, changed));
        // What every client now reads, the PageSize contradiction dropped.
        const DeviceMode reread = readDeviceMode(kPs);
        QCOMPARE(reread.dmDuplex, DMDUP_VERTICAL);
        QCOMPARE(reread.dmPaperSize, DMPAPER_A4);
        QVERIFY(userOptionsFile().startsWith(before));

        // Meanwhile the user changed another printer: that change stays.
        QVERIFY(writeLpOptions(userOptionsFile() + "Dest Other copies=3\n"));
        QVERIFY(restorePrinterInfo9(ps, saved));
        QCOMPARE(userOptionsFile(), before + "Dest Other copies=3\n");
    }

    void defaultPrinterSwappedAndRestored()
    {
        QVERIFY(writeLpOptions("Dest Dunmarrow_Raw copies=2\n"));
        QString before;
        getDefaultPrinter(&before);

        QVERIFY(setDefaultPrinter(kPs));
        QString now;
        QVERIFY(getDefaultPrinter(&now));
        QCOMPARE(now, kPs);
        QVERIFY(setDefaultPrinter(kRaw));
        QVERIFY(getDefaultPrinter(&now));
        QCOMPARE(now, kRaw);
        QCOMPARE(lpOptionsFor(userOptionsFile(), kRaw), (OptionList{{"copies", "2"}}));

        QVERIFY(!setDefaultPrinter(QStringLiteral("No_Such_Printer")));
        QCOMPARE(lastError(), quint32(ErrorInvalidPrinterName));
        QVERIFY(getDefaultPrinter(&now));
        QCOMPARE(now, kRaw);

        QVERIFY(setDefaultPrinter(before));
        QString after;
        getDefaultPrinter(&after);
        QCOMPARE(after, before);
    }

    void jobOptionsCarryTheRecord()
    {
        PrinterHandle ps;
        QVERIFY(openPrinter(kPs, &ps));
        DeviceMode dm = readDeviceMode(kPs);
        dm.options = {{"Duplex", "None"}, {"InputSlot", "Default"}, {"media", "Legal"}};
        dm.dmDuplex = DMDUP_VERTICAL;
        dm.dmPaperSize = DMPAPER_A4;
        const OptionList options = cupsOptionsFor(ps, dm);
        QVERIFY(options.contains({"sides", "two-sided-long-edge"}));
        QVERIFY(options.contains({"media", "iso_a4_210x297mm"}));
        QVERIFY(options.contains({"InputSlot", "Default"}));
        for (const auto &option : options) {
            QVERIFY2(option.first != QLatin1String("Duplex"), "contradicting option kept");
            QVERIFY2(option.second != QLatin1String("Legal"), "contradicting option kept");
        }
    }
};

DUNMARROW_TEST_MAIN(TestSpooler)
#include "tst_spooler.moc"
