#include "AutomationStandIns.h"
#include "PdfFactory.h"
#include "PrinterQueues.h"
#include "TestMain.h"

#include "cache/CacheLocation.h"
#include "cache/CacheStore.h"
#include "cache/CapturePort.h"
#include "cache/PortHelper.h"
#include "cache/RawReplay.h"
#include "engines/AcrobatCapture.h"
#include "engines/CacheBuilder.h"
#include "platform/CapturePorts.h"
#include "platform/CapturePrinter.h"
#include "platform/Spooler.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <pwd.h>
#include <unistd.h>

using namespace Platform;

namespace {

const QString kCapturePrefix = QStringLiteral("Quorvalent_Dunmarrow_Acrobat_Capture_");

QStringList capturePrinters()
{
    QList<PrinterPort> printers;
    enumPrinterPorts(&printers);
    QStringList names;
    for (const PrinterPort &printer : printers) {
        if (printer.printerName.startsWith(kCapturePrefix))
            names << printer.printerName;
    }
    return names;
}

// The ports of this run's cache (the scheduler outlives the run).
QStringList listedPorts()
{
    QList<CapturePort> ports;
    enumCapturePorts(&ports);
    QStringList paths;
    for (const CapturePort &port : ports) {
        if (port.path.startsWith(cacheDirectory() + '/'))
            paths << port.path;
    }
    return paths;
}

QString inCache(const QString &name)
{
    return QDir(cacheDirectory()).filePath(name);
}

PrintSettings settingsFor(const QString &printer)
{
    PrintSettings settings;
    settings.printerName = printer;
    settings.duplex = true;
    settings.preferAcrobat = true;
    return settings;
}

QString backendProgram()
{
    return QFileInfo(qEnvironmentVariable("DUNMARROW_PROGRAM")).dir().filePath("dunmarrow-capture");
}

} // namespace

class TestCapture : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString pdf(const QString &name, int pages = 2) { return PdfFactory::textPdf(m_dir.path(), name, pages); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(PrivateCups::isAvailable());
        QVERIFY(QFileInfo(backendProgram()).isExecutable());
        // Spec timing, looked at more often.
        setCaptureTimeLimits(30000, 600000, 50);
    }

    void init()
    {
        QDir(cacheDirectory()).removeRecursively();
        QVERIFY(QDir().mkpath(cacheDirectory()));
    }

    // The driver's own output lands in the cache, and replays unchanged.
    // Printers and ports a killed capture left are cleaned up on the way;
    // a port another queue still uses is kept.
    void captureIsTheDriversOutputAndReplays()
    {
        const QString stalePort = inCache("stale.prn.tmp");
        const QString orphanPort = inCache("orphan.prn.tmp");
        const QString usedPort = inCache("used.prn.tmp");
        for (const QString &port : {stalePort, orphanPort, usedPort}) {
            QVERIFY(writeFile(port, QByteArray()));
            QVERIFY(xcvPortCommand("AddPort", port));
        }
        QVERIFY(xcvPortCommand("AddPort", usedPort)); // already there: fine
        PrinterHandle ps;
        QVERIFY(openPrinter(kPs, &ps));
        // This process "started" after the stale printer's stamp: its
        // maker is gone. The other queue is nobody's capture.
        const QString stale = kCapturePrefix + QStringLiteral("%1_0").arg(getpid());
        QVERIFY(addCapturePrinter(stale, stalePort, ps));
        QVERIFY(addCapturePrinter("Other_Capture_Queue", usedPort, ps));
        const auto removeOther = qScopeGuard([] { deletePrinter("Other_Capture_Queue"); });
        const QByteArray optionsBefore = userOptionsFile();

        AutomationStandIns standIns;
        const QString file = pdf("capture me.pdf");
        CacheResult result;
        QVERIFY2(buildCache(file, file, settingsFor(kPs), &result), qPrintable(result.message));
        QVERIFY2(result.usedAcrobat, qPrintable(result.acrobatError));
        QCOMPARE(result.pageCount, 2);
        const QByteArray data = readFile(result.cachePath);
        QVERIFY(data.startsWith("%!PS"));
        QVERIFY(data.contains("/Duplex true"));
        const QString json = result.cachePath.chopped(4) + ".json";
        QCOMPARE(QJsonDocument::fromJson(readFile(json)).object().value("cacheEngine").toString(),
                 QString("acrobat-capture"));

        QCOMPARE(capturePrinters(), QStringList());
        QCOMPARE(listedPorts(), QStringList{usedPort});
        QCOMPARE(userOptionsFile(), optionsBefore);

        const int before = PrivateCups::lastJobId(kPs);
        QString error;
        QVERIFY2(replayCache(result.cachePath, kPs, "Captured", 1, &error), qPrintable(error));
        const int job = PrivateCups::waitForJobAfter(kPs, before, "Captured");
        QVERIFY(job > 0);
        QCOMPARE(PrivateCups::waitForJobOutput(kPs, job), data);
    }

    // A printer without a driver passes the document through as sent.
    void driverlessTargetKeepsTheDocument()
    {
        AutomationStandIns standIns;
        const QString file = pdf("raw.pdf", 3);
        const QString target = inCache("raw.prn.tmp");
        int pages = 0;
        QString error;
        QVERIFY2(captureWithAcrobat(file, target, settingsFor(kRaw), &pages, &error), qPrintable(error));
        QCOMPARE(pages, 3);
        QCOMPARE(readFile(target), readFile(file));
        QCOMPARE(capturePrinters(), QStringList());
        QCOMPARE(listedPorts(), QStringList());
    }

    void failuresLeaveNothingBehind_data()
    {
        QTest::addColumn<QString>("printer");
        QTest::addColumn<int>("fault");
        QTest::addColumn<bool>("withAcrobat");
        QTest::addColumn<bool>("withBackend");
        QTest::addColumn<bool>("spoilPort");
        QTest::addColumn<QString>("message");
        const int none = int(StandInState::Fault::None);
        QTest::newRow("Acrobat never submits a job")
            << kPs << int(StandInState::Fault::Succeed) << true << true << false
            << "Acrobat did not submit a job to the temporary capture printer";
        QTest::newRow("Acrobat's print fails")
            << kPs << int(StandInState::Fault::Fail) << true << true << false
            << "Acrobat capture printing failed: ";
        // The backend refuses a port with a second name: the job fails, and
        // the capture says so rather than waiting for time to run out.
        QTest::newRow("the job fails") << kPs << none << true << true << true
                                       << "Acrobat did not create a valid PRN cache";
        QTest::newRow("target printer missing")
            << "Gone_Printer" << none << true << true << false
            << "Unable to read the target printer: Gone_Printer (error 1801)";
        QTest::newRow("scheduler refuses the queue")
            << kPs << none << true << false << false
            << "Unable to create the temporary Acrobat capture printer. Confirm administrator "
               "access and try again (error 5)";
        QTest::newRow("no Acrobat") << kPs << none << false << true << false
                                    << "No usable Adobe Acrobat COM component was found";
    }

    void failuresLeaveNothingBehind()
    {
        QFETCH(QString, printer);
        QFETCH(int, fault);
        QFETCH(bool, withAcrobat);
        QFETCH(bool, withBackend);
        QFETCH(bool, spoilPort);
        QFETCH(QString, message);
        const QString target = inCache("fails.prn.tmp");

        std::optional<AutomationStandIns> standIns;
        if (withAcrobat) {
            standIns.emplace();
            standIns->state()->setFault("PrintPagesSilent", StandInState::Fault(fault));
            if (spoilPort) {
                standIns->state()->beforePrint = [target] {
                    QFile::link(target, target + ".link"); // a symbolic link does not count
                    ::link(QFile::encodeName(target).constData(),
                           QFile::encodeName(target + ".second").constData());
                };
            }
        }
        // Without its backend the scheduler refuses a queue on the device.
        const QString backend = QDir(qEnvironmentVariable("DUNMARROW_TEST_CUPS_DIR"))
                                    .filePath("bin/backend/dunmarrow-capture");
        if (!withBackend)
            QVERIFY(QFile::rename(backend, backend + ".away"));
        const auto restoreBackend = qScopeGuard([&] {
            if (!withBackend)
                QFile::rename(backend + ".away", backend);
        });
        // A capture that ran out of time would say so instead.
        setCaptureTimeLimits(1500, 15000, 50);
        const auto restoreLimits = qScopeGuard([] { setCaptureTimeLimits(30000, 600000, 50); });
        const QByteArray optionsBefore = userOptionsFile();

        int pages = -1;
        QString error;
        QVERIFY(!captureWithAcrobat(pdf("fails.pdf"), target, settingsFor(printer), &pages, &error));
        QVERIFY2(error.startsWith(message), qPrintable(error));
        QCOMPARE(pages, 0);
        QCOMPARE(capturePrinters(), QStringList());
        QCOMPARE(listedPorts(), QStringList());
        QCOMPARE(userOptionsFile(), optionsBefore);
    }

    // Without the right to add a port the program asks pkexec to run itself
    // in helper mode; what pkexec answers becomes the message.
    void elevatedHelper()
    {
        const QString program = m_dir.filePath("program");
        const QString log = m_dir.filePath("elevator.log");
        const auto elevator = [&](const QString &name, const QByteArray &body) {
            const QString path = m_dir.filePath(name);
            writeFile(path, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + log.toUtf8() + "'\n" + body + "\n");
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            return path;
        };
        const QString port = inCache("Invoice \"2026\" ü.prn.tmp");
        const auto run = [&](const QString &elevatorPath) {
            setElevation(elevatorPath, program, 10000);
            QString error;
            const bool ok = runElevatedPortHelper(port, &error);
            return ok ? QStringLiteral("ok") : error;
        };
        const auto restore = qScopeGuard([] { setElevation("pkexec", QString(), 30000); });

        QCOMPARE(run(elevator("approves", "exit 0")), QString("ok"));
        QCOMPARE(QString::fromUtf8(readFile(log)).split('\n', Qt::SkipEmptyParts),
                 (QStringList{program, "--native-port-helper", "add", PortHelper::encodePortName(port)}));
        QCOMPARE(run(elevator("declined", "exit 126")),
                 QString("Administrator approval was cancelled, so the Acrobat capture port could "
                         "not be created"));
        QCOMPARE(run(elevator("helper refuses", "exit 12")),
                 QString("Unable to start the native print-port helper (exit code 12)"));
        QCOMPARE(run(m_dir.filePath("no such elevator")),
                 QString("Unable to start the native print-port helper (error 2)"));
    }

    // The backend writes a listed port only, as the user who listed it,
    // and never through a link.
    void backendWritesOnlyListedPorts()
    {
        QTemporaryDir serverRoot;
        const QString folder = m_dir.filePath("backend ports");
        QVERIFY(QDir().mkpath(folder));
        const QString job = m_dir.filePath("job.data");
        QVERIFY(writeFile(job, "JOBDATA"));
        const auto port = [&](const QString &name) { return QDir(folder).filePath(name); };
        const auto list = [&](const QList<QPair<uint, QString>> &entries) {
            QByteArray text;
            for (const auto &[uid, path] : entries)
                text += QByteArray::number(uid) + '\t' + path.toUtf8() + '\n';
            QVERIFY(writeFile(serverRoot.filePath("dunmarrow-capture-ports"), text));
        };
        const QString me = QString::fromUtf8(getpwuid(getuid())->pw_name);
        const auto deliver = [&](const QString &path, const QString &copies, const QString &user = QString()) {
            QProcess backend;
            QProcessEnvironment env;
            env.insert("DEVICE_URI", QString::fromUtf8(captureDeviceUri(path)));
            env.insert("CUPS_SERVERROOT", serverRoot.path());
            backend.setProcessEnvironment(env);
            backend.start(backendProgram(), {"7", user.isEmpty() ? me : user, "title", copies, "", job});
            backend.waitForFinished(10000);
            return backend.exitCode();
        };

        const QString good = port("good ü.prn.tmp");
        QVERIFY(writeFile(good, "old"));
        list({{uint(getuid()), good}});
        QCOMPARE(deliver(good, "2"), 0);
        QCOMPARE(readFile(good), QByteArray("JOBDATAJOBDATA"));
        // Another user's job, into this user's port: refused.
        QCOMPARE(deliver(good, "1", "intruder"), 1);
        QCOMPARE(readFile(good), QByteArray("JOBDATAJOBDATA"));

        const QString unlisted = port("unlisted.prn.tmp");
        QVERIFY(writeFile(unlisted, "keep"));
        QCOMPARE(deliver(unlisted, "1"), 1);
        QCOMPARE(readFile(unlisted), QByteArray("keep"));

        const QString outside = m_dir.filePath("outside.txt");
        QVERIFY(writeFile(outside, "keep"));
        QVERIFY(QFile::link(outside, port("link.prn.tmp")));
        QVERIFY(::link(QFile::encodeName(outside).constData(),
                       QFile::encodeName(port("hard.prn.tmp")).constData()) == 0);
        const QString climbing = folder + "/../backend ports/good ü.prn.tmp";
        list({{uint(getuid()), port("link.prn.tmp")}, {uint(getuid()), port("hard.prn.tmp")},
              {uint(getuid()), climbing}});
        QCOMPARE(deliver(port("link.prn.tmp"), "1"), 1);
        QCOMPARE(deliver(port("hard.prn.tmp"), "1"), 1);
        QCOMPARE(deliver(climbing, "1"), 1);
        QCOMPARE(readFile(outside), QByteArray("keep"));

        // Listed for another user, who cannot reach the file: not written.
        if (getuid() == 0) {
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
            list({{65534u, good}});
            QCOMPARE(deliver(good, "1"), 1);
            QCOMPARE(readFile(good), QByteArray("JOBDATAJOBDATA"));
        }
    }
};

DUNMARROW_TEST_MAIN(TestCapture)
#include "tst_capture.moc"
