#include "PdfFactory.h"
#include "PrinterQueues.h"
#include "QueueFixture.h"
#include "TestMain.h"

#include "engines/OfficeSuites.h"
#include "platform/FileLock.h"
#include "store/LocalStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtConcurrent>

#include <csignal>
#include <cstdio>

#include <unistd.h>

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

QString program()
{
    return QFileInfo(qEnvironmentVariable("DUNMARROW_PROGRAM")).dir().filePath("dunmarrow-print");
}

Run runPrint(const QStringList &arguments, const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program(), arguments);
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

int historyCount()
{
    LocalStore store;
    store.open();
    return int(store.recentHistory(100000).size());
}

} // namespace

class TestPrintCommand : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString pdf(const QString &name, int pages = 1) { return PdfFactory::textPdf(m_dir.path(), name, pages); }

    // Whether a watch holds a folder of this profile now.
    static bool watchHeld()
    {
        const QDir locks(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + "/watched");
        for (const QString &name : locks.entryList({"*.lock"})) {
            Platform::FileLock probe(locks.filePath(name));
            if (!probe.tryLock())
                return true;
        }
        return false;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(PrivateCups::isAvailable());
        QVERIFY(QFileInfo(program()).isExecutable());
        removeLocalData();
    }

    // Three files, one missing: the others print, the run says so.
    void printsFilesAndReports()
    {
        const int before = PrivateCups::lastJobId(kRaw);
        const int history = historyCount();
        const QString odd = pdf("line\nbreak “quoted”.pdf", 2);
        const Run run = runPrint({"--printer", kRaw, "--pdf-engine", "pdfium", "--json", pdf("first.pdf"),
                                  m_dir.filePath("missing.pdf"), odd});
        QCOMPARE(run.exitCode, 1);
        const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        const QJsonObject missing = QJsonDocument::fromJson(lines.at(1).toUtf8()).object();
        QCOMPARE(missing.value("printed").toBool(true), false);
        QVERIFY(missing.value("message").toString().startsWith("The file does not exist: "));
        QCOMPARE(QJsonDocument::fromJson(lines.at(2).toUtf8()).object().value("pages").toInt(), 2);
        QVERIFY(run.err.contains("line\\nbreak “quoted”.pdf: printed, 2 page(s)"));
        // Each line names the scheduler's job; a file that made none, none.
        const int first = PrivateCups::waitForJobAfter(kRaw, before, "first.pdf");
        QVERIFY(first > 0);
        QCOMPARE(QJsonDocument::fromJson(lines.at(0).toUtf8()).object().value("job").toInt(), first);
        QVERIFY(!missing.contains("job"));
        // The job's title has the newline as a blank.
        QVERIFY(PrivateCups::waitForJobAfter(kRaw, before, "line break “quoted”.pdf") > 0);
        QCOMPARE(historyCount(), history + 2);

        const QString dashed = pdf("-x.pdf");
        for (const QStringList &bad :
             {QStringList{"--printer", "Nope", odd}, QStringList{"--printer", kRaw}, QStringList{"--frobnicate", odd},
              QStringList{"--paper", "B99", odd}, QStringList{"--paper", "win:anything", odd},
              QStringList{"--hot-folder", "Nowhere", odd}, QStringList{"--watch", m_dir.path(), odd},
              QStringList{"--add", "--printer", kRaw, odd}})
            QVERIFY2(runPrint(bad).exitCode == 2, qPrintable(bad.join(' ')));
        const QString cwd = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
        QVERIFY(runPrint({"--printer", kRaw, "-x.pdf"}).err.contains("a file whose name begins with - goes after --"));
        QCOMPARE(runPrint({"--printer", kRaw, "--", "-x.pdf"}).exitCode, 0);
        QDir::setCurrent(cwd);
        QVERIFY(QFile::exists(dashed));

        // No display, whatever the session says; a print service that does
        // not answer is no usage error.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.remove("DISPLAY");
        QCOMPARE(runPrint({"--help"}, environment).exitCode, 0);
        environment.insert("CUPS_SERVER", "127.0.0.1:9");
        const Run down = runPrint({"--printer", kRaw, odd}, environment);
        QCOMPARE(down.exitCode, 1);
        QVERIFY2(down.err.startsWith("dunmarrow-print: the printers cannot be listed: "), qPrintable(down.err));

        // A print the history could not take is said to be so, and fails the run.
        {
            LocalStore store;
            QVERIFY(store.open());
            QVERIFY(refuseWrites(store, "no_history", "BEFORE INSERT ON print_history"));
        }
        const Run unrecorded = runPrint({"--printer", kRaw, "--json", odd});
        QCOMPARE(unrecorded.exitCode, 1);
        QVERIFY2(unrecorded.err.contains("printed, 2 page(s), NOT RECORDED: Printed, but the print could not be "
                                         "recorded: "),
                 qPrintable(unrecorded.err));
        QCOMPARE(QJsonDocument::fromJson(unrecorded.out.toUtf8()).object().value("recorded").toBool(true), false);
        {
            LocalStore store;
            QVERIFY(store.open() && store.execStatement("DROP TRIGGER no_history"));
        }

        // Engines that cannot exist here are neither offered nor taken.
        const QString help = runPrint({"--help"}).out;
        QVERIFY2(help.contains("The PDF engine: pdfium.") && help.contains("The office engine: auto or libreoffice."),
                 qPrintable(help));
        QVERIFY(!help.contains("acrobat") && !help.contains("microsoft") && !help.contains("wps"));
        const Run acrobat = runPrint({"--printer", kRaw, "--pdf-engine", "acrobat", odd});
        QCOMPARE(acrobat.exitCode, 2);
        QVERIFY2(acrobat.err.startsWith("dunmarrow-print: --pdf-engine acrobat cannot be used: Adobe Acrobat is "
                                        "not available on Linux."),
                 qPrintable(acrobat.err));
        QVERIFY(runPrint({"--printer", kRaw, "--office-engine", "wps", odd}).err.contains("Use auto or libreoffice."));
    }

    // The queue's own default paper when none is asked for; a paper the
    // printer lacks is refused, and nothing is sent.
    void paperAsTheQueueHasIt()
    {
        const QString file = pdf("paper.pdf");
        const QString a4 = PrivateCups::kA4Queue;
        int before = PrivateCups::lastJobId(a4);
        QCOMPARE(runPrint({"--printer", a4, file}).exitCode, 0);
        QVERIFY(PrivateCups::jobInfo(a4, PrivateCups::waitForJobAfter(a4, before, "paper.pdf"))
                    .contains("media=iso_a4_210x297mm"));
        before = PrivateCups::lastJobId(a4);
        const Run refused = runPrint({"--printer", a4, "--paper", "B4", "--json", file});
        QCOMPARE(refused.exitCode, 1);
        const QJsonObject line = QJsonDocument::fromJson(refused.out.toUtf8()).object();
        QCOMPARE(line.value("printed").toBool(true), false);
        QCOMPARE(line.value("message").toString(), QStringLiteral("The printer Dunmarrow_A4 has no B4 paper (it would "
                                                                  "print on A4), so nothing was sent."));
        QCOMPARE(PrivateCups::waitForJobAfter(a4, before, "paper.pdf", 1000), 0);
    }

    // A name that is not UTF-8 (Latin-1 "café", legal here) opens, prints
    // and reads as "café", given as an argument or found in a folder.
    // --wait follows each job to its end: a queue whose device fails
    // aborts it, an administrator cancels one, a stopped queue holds one
    // until it starts again.
    void waitFollowsEachJob()
    {
        const TroubledQueues queues("command");
        QVERIFY(queues.ready);
        const auto admin = &TroubledQueues::run;
        const QString file = pdf("tracked.pdf");
        const auto line = [](const Run &run) { return QJsonDocument::fromJson(run.out.toUtf8()).object(); };
        LocalStore store;
        QVERIFY(store.open());
        const QList<qint64> endedBefore = store.jobEnds().keys();

        const Run good = runPrint({"--printer", kRaw, "--wait", "--json", file});
        QCOMPARE(good.exitCode, 0);
        QCOMPARE(line(good).value("state").toString(), QString("completed"));
        QVERIFY(line(good).value("printed").toBool());

        const Run jammed = runPrint({"--printer", queues.jammed, "--wait", "--json", file});
        QCOMPARE(jammed.exitCode, 1);
        QCOMPARE(line(jammed).value("state").toString(), QString("aborted"));
        QVERIFY(!line(jammed).value("printed").toBool(true));
        QVERIFY(line(jammed).value("job").toInt() > 0);
        QVERIFY2(line(jammed).value("message").toString().startsWith("Failed at the printer: "),
                 qPrintable(jammed.out));

        const Run held = runPrint({"--printer", queues.paused, "--wait-timeout", "1", "--json", file});
        QCOMPARE(held.exitCode, 1);
        QCOMPARE(line(held).value("state").toString(), QString("stopped"));
        QCOMPARE(line(held).value("message").toString(), QString("Stopped at the printer: the printer is stopped (Paused)"));

        // Waiting meanwhile: the queue starts, then a job is cancelled.
        const auto queuedJob = [&] { // the newest job waiting in the paused queue
            QProcess lpstat;
            lpstat.start("lpstat", {"-o", queues.paused});
            lpstat.waitForFinished(30000);
            int newest = 0;
            for (const QString &row : QString::fromUtf8(lpstat.readAllStandardOutput()).split('\n'))
                newest = std::max(newest, row.section(' ', 0, 0).section('-', -1).toInt());
            return newest;
        };
        const auto waiting = [&] {
            auto *process = new QProcess(this);
            process->start(program(), {"--printer", queues.paused, "--wait", "--json", file});
            return process;
        };
        QProcess *resumed = waiting();
        QTRY_VERIFY(queuedJob() > line(held).value("job").toInt());
        QVERIFY(admin("cupsenable", {queues.paused}));
        QVERIFY(resumed->waitForFinished(60000));
        QCOMPARE(resumed->exitCode(), 0);
        QCOMPARE(QJsonDocument::fromJson(resumed->readAllStandardOutput()).object().value("state").toString(),
                 QString("completed"));
        QVERIFY(admin("cupsdisable", {queues.paused}));
        QProcess *cancelled = waiting();
        QTRY_VERIFY(queuedJob() > 0);
        QVERIFY(admin("cancel", {QString("%1-%2").arg(queues.paused).arg(queuedJob())}));
        QVERIFY(cancelled->waitForFinished(60000));
        QCOMPARE(cancelled->exitCode(), 1);
        QCOMPARE(QJsonDocument::fromJson(cancelled->readAllStandardOutput()).object().value("state").toString(),
                 QString("canceled"));
        // Each end known is kept with its print's history record.
        QStringList ends;
        const QHash<qint64, QVariantMap> ended = store.jobEnds();
        for (auto it = ended.cbegin(); it != ended.cend(); ++it) {
            if (!endedBefore.contains(it.key()))
                ends << it.value().value("state").toString();
        }
        ends.sort();
        QCOMPARE(ends, QStringList({"aborted", "canceled", "completed", "completed"}));
    }

    void namesThatAreNotUtf8()
    {
        QDir().mkpath(m_dir.filePath("latin1"));
        const QByteArray name = QFile::encodeName(m_dir.filePath("latin1")) + "/caf\xe9.pdf";
        QVERIFY(::rename(QFile::encodeName(pdf("latin1/plain.pdf", 2)).constData(), name.constData()) == 0);
        for (const QString &given : {QStringLiteral("\"$(printf '%s/caf\\351.pdf' \"$1\")\""), QStringLiteral("\"$1\"")}) {
            const int before = PrivateCups::lastJobId(kRaw);
            QProcess run;
            run.start("sh", {"-c", "exec \"$0\" --printer Dunmarrow_Raw --json " + given, program(),
                             m_dir.filePath("latin1")});
            QVERIFY(run.waitForFinished(60000));
            QCOMPARE(run.exitCode(), 0);
            QVERIFY(QString::fromUtf8(run.readAllStandardError()).contains("café.pdf: printed, 2 page(s)"));
            QVERIFY(PrivateCups::waitForJobAfter(kRaw, before, "café.pdf") > 0);
        }
        ::unlink(name.constData()); // a name the temporary folder's own clean-up cannot name
    }

    // On a target that prints with the printer's settings, an option
    // changes its own setting; the rest stay the printer's and the user's.
    void optionsChangeOnlyTheirOwnSetting()
    {
        const QString a4 = PrivateCups::kA4Queue;
        QSettings().setValue("defaultPrinter", a4);
        QVERIFY(Platform::writeLpOptions("Dest Dunmarrow_A4 media=A5\n")); // the user's own paper
        const auto restore = qScopeGuard([] {
            Platform::restoreLpOptions({});
            QSettings().remove("defaultPrinter");
        });
        const int before = PrivateCups::lastJobId(a4);
        QCOMPARE(runPrint({"--duplex", "long", pdf("own setting.pdf", 2)}).exitCode, 0);
        const QString info = PrivateCups::jobInfo(a4, PrivateCups::waitForJobAfter(a4, before, "own setting.pdf"));
        QVERIFY2(info.contains("sides=two-sided-long-edge") && info.contains("media=iso_a5_148x210mm"), qPrintable(info));
    }

    // A hot folder's preset reaches the printer; --add fills its list.
    void hotFolderPreset()
    {
        auto store = freshLocalStore();
        QVERIFY(store->addHotFolder({"Invoices", kPs, 1, false, "A4", "#ffffff"}));
        const int before = PrivateCups::lastJobId(kPs);
        const QString file = pdf("invoice.pdf", 2); // one page would need no duplex
        QCOMPARE(runPrint({"--hot-folder", "Invoices", "--pdf-engine", "pdfium", file}).exitCode, 0);
        const int job = PrivateCups::waitForJobAfter(kPs, before, "invoice.pdf");
        QVERIFY(PrivateCups::waitForJobOutput(kPs, job).contains("/Duplex true"));
        QCOMPARE(runPrint({"--hot-folder", "Invoices", "--add", "--copies", "3", file}).exitCode, 0);
        const int folderId = store->hotFolders().first().toMap().value("id").toInt();
        QCOMPARE(store->files(folderId).size(), 1);
        QCOMPARE(store->files(folderId).first().toMap().value("copies").toInt(), 3);
    }

    // Many clients, one print server that owns the queues: the command finds
    // the server as every CUPS client does, by CUPS_SERVER or client.conf.
    void printsThroughAPrintServer()
    {
        const QString script = qEnvironmentVariable("DUNMARROW_SOURCE_DIR") + "/scripts/cups-private.sh";
        // The scheduler's helpers run as another user: its folder must be open to them.
        QTemporaryDir serverFolder(QStringLiteral("/tmp/dunmarrow-server-XXXXXX"));
        QVERIFY(QFile::setPermissions(serverFolder.path(), QFileDevice::Permissions(0x7755)));
        const QString serverDir = serverFolder.path();
        QCOMPARE(QProcess::execute("bash", {script, "start", serverDir}), 0);
        const auto stopServer = qScopeGuard([&] { QProcess::execute("bash", {script, "stop", serverDir}); });
        const QByteArray server = "localhost:" + readFile(serverDir + "/port").trimmed();
        const QString received = serverDir + "/out/" + kRaw;
        const auto jobsAtServer = [&] { return QDir(received).entryList({"*.prn"}).size(); };
        const QString file = pdf("to the server.pdf");
        const int localBefore = PrivateCups::lastJobId(kRaw);

        QProcess byEnvironment;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("CUPS_SERVER", QString::fromLatin1(server));
        byEnvironment.setProcessEnvironment(environment);
        // Its jobs are followed there too.
        byEnvironment.start(program(), {"--printer", kRaw, "--wait", "--json", file});
        QVERIFY(byEnvironment.waitForFinished(60000));
        QCOMPARE(byEnvironment.exitCode(), 0);
        QCOMPARE(QJsonDocument::fromJson(byEnvironment.readAllStandardOutput()).object().value("state").toString(),
                 QString("completed"));
        QCOMPARE(jobsAtServer(), 1);

        const QString clientConf = QDir::homePath() + "/.cups/client.conf";
        QVERIFY(QDir().mkpath(QDir::homePath() + "/.cups"));
        QVERIFY(writeFile(clientConf, "ServerName " + server + "\n"));
        const auto removeConf = qScopeGuard([&] { QFile::remove(clientConf); });
        QProcess byClientConf;
        environment.remove("CUPS_SERVER");
        byClientConf.setProcessEnvironment(environment);
        byClientConf.start(program(), {"--printer", kRaw, file});
        QVERIFY(byClientConf.waitForFinished(60000));
        QCOMPARE(byClientConf.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(jobsAtServer(), 2, 30000);
        QCOMPARE(PrivateCups::waitForJobAfter(kRaw, localBefore, "to the server.pdf", 500), 0);
    }

    // Each file that arrives prints once, when complete: one being written
    // when the watch starts, by a writer that pauses longer than the quiet
    // time; one dropped again under a name already printed; one in a folder
    // put in the place of the watched one; with printed/ removed meanwhile.
    // The program writing history meanwhile loses nothing; a second watch
    // of the folder stays out; SIGHUP stops the watch.
    void watchesAFolder()
    {
        const QString folder = m_dir.filePath("watched");
        QDir().mkpath(folder);
        const QByteArray whole = readFile(pdf("source.pdf", 3));
        QFile slow(folder + "/slow.pdf");
        QVERIFY(slow.open(QIODevice::WriteOnly));
        slow.write(whole.left(whole.size() / 2));
        slow.flush();
        const int history = historyCount();
        const int before = PrivateCups::lastJobId(kRaw);
        QProcess watcher;
        watcher.start(program(), {"--printer", kRaw, "--pdf-engine", "pdfium", "--watch", folder});
        QVERIFY(watcher.waitForStarted());
        // Once the watch holds the folder, a second one stays out.
        QTRY_VERIFY_WITH_TIMEOUT(watchHeld(), 30000);
        const Run second = runPrint({"--printer", kRaw, "--watch", folder});
        QCOMPARE(second.exitCode, 2);
        QVERIFY2(second.err.contains("is watched by another dunmarrow-print already"), qPrintable(second.err));

        // Meanwhile the program records prints of its own.
        const QFuture<int> others = QtConcurrent::run([] {
            LocalStore store;
            store.open();
            int added = 0;
            for (int i = 0; i < 50; ++i)
                added += store.addHistory(QString("/x/%1.pdf").arg(i), "P", 1, 1, 0, {}, {}) ? 1 : 0;
            return added;
        });
        QTest::qWait(2500); // longer than the quiet time: the writer still has it open
        QVERIFY(!QFile::exists(folder + "/printed/slow.pdf") && !QFile::exists(folder + "/failed/slow.pdf"));
        slow.write(whole.mid(whole.size() / 2));
        slow.close();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder + "/printed/slow.pdf"), 30000);

        QVERIFY(QDir(folder + "/printed").removeRecursively());
        QVERIFY(writeFile(folder + "/again.pdf", whole));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder + "/printed/again.pdf"), 30000);
        QVERIFY(writeFile(folder + "/again.pdf", whole));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder + "/printed/again (2).pdf"), 30000);
        writeFile(folder + "/broken.pdf", "not a pdf");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder + "/failed/broken.pdf.log"), 30000);

        QVERIFY(QDir().rename(folder, folder + ".old") && QDir().mkpath(folder));
        QVERIFY(writeFile(folder + "/after.pdf", whole));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder + "/printed/after.pdf"), 30000);

        ::kill(pid_t(watcher.processId()), SIGHUP);
        QVERIFY(watcher.waitForFinished(30000));
        QCOMPARE(watcher.exitCode(), 0);
        QCOMPARE(others.result(), 50);
        const int job = PrivateCups::waitForJobAfter(kRaw, before, "slow.pdf");
        QVERIFY(job > 0);
        QCOMPARE(PrivateCups::waitForJobAfter(kRaw, job, "slow.pdf", 500), 0); // once only
        QVERIFY(PrivateCups::waitForJobAfter(kRaw, PrivateCups::waitForJobAfter(kRaw, before, "again.pdf"), "again.pdf") > 0);
        QCOMPARE(historyCount(), history + 4 + 50);
        QCOMPARE(runPrint({"--printer", kRaw, "--watch", "/proc/1"}).exitCode, 2);
    }

    // Stopped while LibreOffice converts: SIGTERM lets the file finish, a
    // second ends it now; either way no LibreOffice and none of its files
    // stay. After a kill -9 the next run removes what the dead one left.
    void stoppedOfficePrintsLeaveNothing()
    {
        if (!isLibreOfficeAvailable())
            QSKIP("LibreOffice is not installed");
        QTemporaryDir temp;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TMPDIR", temp.path());
        QString text = "{\\rtf1\\ansi ";
        for (int i = 0; i < 3000; ++i)
            text += QString("Paragraph %1 of a long letter.\\par ").arg(i);
        const QString letter = m_dir.filePath("long letter.rtf");
        QVERIFY(writeFile(letter, (text + "}").toLatin1()));
        const auto runFolders = [&] { return QDir(temp.path()).entryList({"dunmarrow-soffice-*"}, QDir::Dirs); };
        const auto sofficeOf = [&] {
            QProcess pgrep;
            pgrep.start("pgrep", {"-f", temp.path()});
            pgrep.waitForFinished();
            return pgrep.readAllStandardOutput().trimmed();
        };
        for (const int signal : {SIGTERM, SIGKILL}) {
            QProcess run;
            run.setProcessEnvironment(environment);
            run.start(program(), {"--printer", kRaw, letter});
            QTRY_VERIFY_WITH_TIMEOUT(!runFolders().isEmpty(), 30000);
            ::kill(pid_t(run.processId()), signal);
            QVERIFY(run.waitForFinished(120000));
            if (signal == SIGTERM) {
                QCOMPARE(run.exitCode(), 0); // the file it was printing finished
                QCOMPARE(runFolders(), QStringList());
                QTRY_COMPARE(sofficeOf(), QByteArray());
            }
        }
        // The next run clears what the killed one left.
        QProcess next;
        next.setProcessEnvironment(environment);
        next.start(program(), {"--printer", kRaw, pdf("after the kill.pdf")});
        QVERIFY(next.waitForFinished(120000));
        QCOMPARE(next.exitCode(), 0);
        QCOMPARE(runFolders(), QStringList());
        QTRY_COMPARE(sofficeOf(), QByteArray());
    }

    // A watch killed while a file prints (once its job is made) prints it
    // once: at the next start the journal's job says whether it went out.
    // A file printed but not moved away is not printed again either.
    void killedWatchPrintsOnce()
    {
        const QString folder = m_dir.filePath("killed");
        QDir().mkpath(folder);
        QVERIFY(PdfFactory::write(folder + "/long.pdf", PdfFactory::textPages(1500)));
        QVERIFY(writeFile(folder + "/printed", "in the way")); // printed/ cannot be made
        QVERIFY(writeFile(folder + "/early.pdf", readFile(pdf("early.pdf", 1))));
        const int before = PrivateCups::lastJobId(kRaw);
        const QString journals =
            QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + "/watched";
        const auto journalJob = [&] {
            for (const QString &name : QDir(journals).entryList({"*.journal"})) {
                for (const QByteArray &line : readFile(journals + "/" + name).split('\n')) {
                    if (line.startsWith("printing") && line.split('\t').value(2).toInt() > 0)
                        return true;
                }
            }
            return false;
        };
        QProcess watcher;
        watcher.start(program(), {"--printer", kRaw, "--pdf-engine", "pdfium", "--watch", folder});
        QVERIFY(watcher.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(journalJob() || PrivateCups::waitForJobAfter(kRaw, before, "long.pdf", 1) > 0, 60000);
        ::kill(pid_t(watcher.processId()), SIGKILL);
        QVERIFY(watcher.waitForFinished(30000));

        // With --wait, the job found is followed to its end before the move.
        QVERIFY(QFile::remove(folder + "/printed"));
        watcher.start(program(), {"--printer", kRaw, "--pdf-engine", "pdfium", "--wait", "--watch", folder});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder + "/printed/long.pdf") && QFile::exists(folder + "/printed/early.pdf"),
                                 120000);
        ::kill(pid_t(watcher.processId()), SIGTERM);
        QVERIFY(watcher.waitForFinished(30000));
        for (const QString title : {"long.pdf", "early.pdf"}) {
            const int job = PrivateCups::waitForJobAfter(kRaw, before, title);
            QVERIFY(job > 0);
            QCOMPARE(PrivateCups::waitForJobAfter(kRaw, job, title, 2000), 0);
        }
    }
};

DUNMARROW_TEST_MAIN(TestPrintCommand)
#include "tst_printcommand.moc"
