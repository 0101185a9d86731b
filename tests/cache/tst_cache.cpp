#include "ModalAnswerer.h"
#include "PdfFactory.h"
#include "PrinterQueues.h"
#include "QueueFixture.h"
#include "TestMain.h"

#include "app/MainWindow.h"
#include "cache/CacheLocation.h"
#include "cache/CacheStore.h"
#include "cache/RawReplay.h"
#include "engines/CacheBuilder.h"
#include "engines/Dispatch.h"
#include "queue/CacheActions.h"
#include "queue/CacheManagerDialog.h"
#include "queue/QueueController.h"
#include "queue/QueueTable.h"

#include <QCryptographicHash>
#include <QDialogButtonBox>
#include <QLabel>
#include <QTableWidget>
#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

QString cacheFile(const QString &name)
{
    return QDir(cacheDirectory()).filePath(name);
}

QJsonObject recordOf(const QString &jsonPath)
{
    return QJsonDocument::fromJson(readFile(jsonPath)).object();
}

// The jobs that reached a queue after `before`, titled so, in order.
QList<int> jobsAfter(const QString &queue, int before, const QString &title, int count)
{
    QList<int> jobs;
    int after = before;
    while (jobs.size() < count) {
        const int job = PrivateCups::waitForJobAfter(queue, after, title);
        if (job == 0)
            break;
        jobs << job;
        after = job;
    }
    return jobs;
}

// Adds a hot folder printing raw; its id.
int addHotFolder(MainWindow &window, const QString &name)
{
    return window.store().addHotFolder({name, kRaw, 0, false, "A4", "#ffffff"})
        ? window.store().hotFolders().first().toMap().value("id").toInt() : 0;
}

PrintJob hotFolderJob(const QString &path, const QString &printer)
{
    PrintJob job;
    job.path = path;
    job.printerName = printer;
    job.duplex = true;
    job.paperKey = QStringLiteral("A4");
    job.pdfEngine = QStringLiteral("pdfium");
    job.hotFolderId = 7;
    return job;
}

} // namespace

class TestCache : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString pdf(const QString &name, int pages = 2) { return PdfFactory::textPdf(m_dir.path(), name, pages); }

private Q_SLOTS:
    void init()
    {
        QDir(cacheDirectory()).removeRecursively();
        QDir().mkpath(cacheDirectory());
    }

    // The key is a format: stored caches are found by it, so its bytes
    // must stay exactly these.
    void keys()
    {
        const QString file = pdf("key.pdf");
        PrintSettings settings;
        settings.printerName = "Printer";
        settings.paperSize = "win:9:A4";
        const QFileInfo info(file);
        const QByteArray expected = info.canonicalFilePath().toUtf8() + "\n"
            + QByteArray::number(info.size()) + "\n"
            + QByteArray::number(info.lastModified().toMSecsSinceEpoch())
            + "\nPrinter\nD0\nS0\nC0\nwin:9:A4\nU0\nACROBAT_CAPTURE_V5";
        const QString key = cacheKey(file, settings);
        QCOMPARE(key, QString(QCryptographicHash::hash(expected, QCryptographicHash::Sha256).toHex()));

        // Each setting of the key changes it; the build-only ones do not.
        const QList<std::function<void(PrintSettings &)>> changes = {
            [](PrintSettings &s) { s.printerName = "printer"; },
            [](PrintSettings &s) { s.duplex = true; },
            [](PrintSettings &s) { s.shortEdge = true; },
            [](PrintSettings &s) { s.color = true; },
            [](PrintSettings &s) { s.paperSize = "A4"; },
            [](PrintSettings &s) { s.useDriverSettings = true; },
        };
        for (const auto &change : changes) {
            PrintSettings other = settings;
            change(other);
            QVERIFY(cacheKey(file, other) != key);
        }
        PrintSettings buildOnly = settings;
        buildOnly.resolutionDpi = 300;
        buildOnly.preferAcrobat = true;
        buildOnly.hotFolderId = 4;
        QCOMPARE(cacheKey(file, buildOnly), key);

        QFile touched(file);
        QVERIFY(touched.open(QIODevice::ReadWrite));
        QVERIFY(touched.setFileTime(info.lastModified().addSecs(5), QFileDevice::FileModificationTime));
        touched.close();
        QVERIFY(cacheKey(file, settings) != key);

        QString error;
        QVERIFY(cacheKey(m_dir.filePath("gone.pdf"), settings, &error).isEmpty());
        QCOMPARE(error, QStringLiteral("The source file does not exist."));
    }

    // Only a regular, non-empty data file of the key is a cache; the record
    // gives its pages when it can be read.
    void findingACache()
    {
        const QString file = pdf("find.pdf");
        PrintSettings settings;
        settings.printerName = kRaw;
        const QString key = cacheKey(file, settings);
        const QString prn = cacheFile(key + ".prn");
        const QString json = cacheFile(key + ".json");
        QVERIFY(QFile(json).open(QIODevice::WriteOnly) && QFile(prn).open(QIODevice::WriteOnly));
        QVERIFY(!findCache(file, settings)); // 0 bytes
        writeFile(prn, "data");
        writeFile(json, R"({"pageCount": 3})");
        QString found;
        int pages = 0;
        QVERIFY(findCache(file, settings, &found, &pages));
        QCOMPARE(found, prn);
        QCOMPARE(pages, 3);
        writeFile(json, "not json");
        QVERIFY(findCache(file, settings, &found, &pages));
        QCOMPARE(pages, 1);

        // A link, a folder or a FIFO under the key is no cache.
        const QString elsewhere = m_dir.filePath("elsewhere.prn");
        writeFile(elsewhere, "secret");
        QFile::remove(prn);
        QVERIFY(QFile::link(elsewhere, prn));
        QVERIFY(!findCache(file, settings));
        QFile::remove(prn);
        QVERIFY(QDir().mkdir(prn));
        QVERIFY(!findCache(file, settings));
        QDir().rmdir(prn);
        QCOMPARE(::mkfifo(QFile::encodeName(prn).constData(), 0600), 0);
        QVERIFY(!findCache(file, settings));
        QString error;
        QVERIFY(!replayCache(prn, kRaw, "fifo", 1, &error)); // and it does not hang
        QCOMPARE(error, QStringLiteral("Unable to read the print cache."));
    }

    void listingAndDeleting()
    {
        PrintSettings preset;
        preset.printerName = kPs;
        preset.hotFolderId = 3;
        preset.duplex = true;
        const auto store = [&](const QString &source, PrintSettings settings, bool legacy) {
            const QString key = cacheKey(source, settings);
            CacheRecord record{source, settings, 2, 4, 0, "pdfium"};
            writeCacheRecord(cacheFile(key + ".json"), record);
            if (legacy) {
                QJsonObject object = recordOf(cacheFile(key + ".json"));
                object.remove("hotFolderId");
                writeFile(cacheFile(key + ".json"), QJsonDocument(object).toJson());
            }
            writeFile(cacheFile(key + ".prn"), "data");
            return key;
        };
        const QString listed = store(pdf("listed.pdf"), preset, false);
        PrintSettings otherCase = preset;
        otherCase.printerName = kPs.toLower();
        store(pdf("other case.pdf"), otherCase, false);
        const QString upgraded = store(pdf("legacy.pdf"), preset, true);
        const QString changedSource = pdf("changed.pdf");
        const QString stale = store(changedSource, preset, true);
        const QByteArray staleRecord = readFile(cacheFile(stale + ".json"));
        writeFile(changedSource, "edited since");
        writeFile(cacheFile("huge.json"), "{\"sourcePath\":\"" + QByteArray(300000, 'x') + "\"}");

        const QList<CacheEntry> entries = listCaches(preset);
        QStringList names;
        for (const CacheEntry &entry : entries)
            names << QFileInfo(entry.prnPath).completeBaseName();
        QCOMPARE(QSet<QString>(names.begin(), names.end()), QSet<QString>({listed, upgraded}));
        QCOMPARE(recordOf(cacheFile(upgraded + ".json")).value("hotFolderId").toInt(), 3);
        QCOMPARE(readFile(cacheFile(stale + ".json")), staleRecord);
        QCOMPARE(entries.first().pageCount, 2);

        // Deleting succeeds when the record is already gone.
        const CacheEntry entry = entries.first();
        QFile::remove(entry.jsonPath);
        QString error;
        QVERIFY(deleteCacheFiles(entry, &error));
        QVERIFY(!QFile::exists(entry.prnPath));
    }

    // The data arrives at the backend byte for byte, one job per copy under
    // one name, through several buffers' worth of data.
    void replayIsByteIdentical()
    {
        QByteArray data(600 * 1024, Qt::Uninitialized);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(data.data()), data.size() / 4);
        const QString prn = cacheFile("replay.prn");
        writeFile(prn, data);

        QString error;
        // Copies 0 prints once.
        for (const auto &[title, copies, jobCount] :
             {std::tuple("Replay “one”", 0, 1), std::tuple("Replay three", 3, 3)}) {
            const int before = PrivateCups::lastJobId(kRaw);
            QVERIFY2(replayCache(prn, kRaw, title, copies, &error), qPrintable(error));
            const QList<int> jobs = jobsAfter(kRaw, before, title, jobCount);
            QCOMPARE(jobs.size(), jobCount);
            for (const int job : jobs)
                QVERIFY(PrivateCups::waitForJobOutput(kRaw, job) == data);
        }
        QVERIFY(!replayCache(prn, "Gone_Printer", "x", 1, &error));
        QCOMPARE(error, QStringLiteral("Unable to open printer: Gone_Printer"));
    }

    // A queue that refuses the second job: the first copy printed, the
    // failure is reported, no third job is tried.
    void failureOnTheSecondCopy()
    {
        // A name of its own: the scheduler remembers past jobs against a quota.
        const QString queue = QString("Dunmarrow_Quota_%1_%2")
                                  .arg(QCoreApplication::applicationPid())
                                  .arg(QDateTime::currentMSecsSinceEpoch());
        const QString out = PrivateCups::outputFolder(queue);
        QVERIFY(QDir().mkpath(out));
        QFile(out).setPermissions(QFileDevice::Permissions(0x7777)); // the backend runs as lp
        QCOMPARE(QProcess::execute("lpadmin", {"-p", queue, "-E", "-v", "dunmarrow-spool:" + out,
                                               "-o", "job-quota-period=86400", "-o", "job-k-limit=1"}),
                 0);
        const auto removeQueue = qScopeGuard([&] { QProcess::execute("lpadmin", {"-x", queue}); });
        const QString prn = cacheFile("quota.prn");
        writeFile(prn, QByteArray(4096, 'q'));
        QString error;
        QVERIFY(!replayCache(prn, queue, "Quota", 3, &error));
        QVERIFY2(error.startsWith("Unable to submit the print cache (error "), qPrintable(error));
        // The refused copy never became a job; the first one printed.
        QCOMPARE(jobsAfter(queue, 0, "Quota", 1).size(), 1);
    }

    // The built-in engine stores what the printer's own filters make (here
    // PostScript, not our spool PDF); printing the file then sends exactly
    // that. Building again replaces the same key.
    void buildAndPrintFromTheCache()
    {
        const QString file = pdf("built.pdf", 3);
        const PrintJob job = hotFolderJob(file, kPs);
        CacheResult result = buildCacheForJob(job);
        QVERIFY2(result.success, qPrintable(result.message));
        QCOMPARE(result.pageCount, 3);
        QVERIFY(!result.usedAcrobat);
        QVERIFY(result.acrobatError.isEmpty()); // no Acrobat here: nothing failed
        const QByteArray data = readFile(result.cachePath);
        QVERIFY2(data.startsWith("%!PS"), data.left(20));
        QVERIFY(data.contains("/Duplex true"));
        const QJsonObject record = recordOf(QString(result.cachePath).replace(".prn", ".json"));
        QCOMPARE(record.value("sourcePath").toString(), file);
        QCOMPARE(record.value("cacheEngine").toString(), QStringLiteral("pdfium"));
        QCOMPARE(record.value("hotFolderId").toInt(), 7);
        QCOMPARE(qint64(record.value("rawSize").toDouble()), qint64(data.size()));

        const int before = PrivateCups::lastJobId(kPs);
        PrintJob print = job;
        print.copies = 2;
        const PrintResult printed = dispatchPrintJob(print);
        QVERIFY2(printed.success, qPrintable(printed.message));
        QCOMPARE(printed.pages, 3);
        const QList<int> jobs = jobsAfter(kPs, before, "built.pdf", 2);
        QCOMPARE(jobs.size(), 2);
        QVERIFY(PrivateCups::waitForJobOutput(kPs, jobs.last()) == data);

        result = buildCacheForJob(job);
        QVERIFY(result.success);
        QCOMPARE(QDir(cacheDirectory()).entryList(QDir::Files).size(), 2);

        // A build that cannot write its data leaves the earlier cache whole.
        const QByteArray stored = readFile(result.cachePath);
        QVERIFY(QDir().mkdir(result.cachePath + ".tmp"));
        QVERIFY(!buildCacheForJob(job).success);
        QCOMPARE(readFile(result.cachePath), stored);
        QVERIFY(QDir().rmdir(result.cachePath + ".tmp"));

        // A file edited after what is rendered was made of it (an office
        // document's PDF) is not cached under its new key.
        const QString keyBefore = cacheKey(file, printSettingsOf(job));
        QVERIFY(PdfFactory::write(file, PdfFactory::textPages(4)));
        CacheResult changed;
        QVERIFY(!buildCache(pdf("old content.pdf", 3), file, cacheSettingsFor(job, file), &changed, keyBefore));
        QCOMPARE(changed.message, QStringLiteral("The file changed while it was being cached. Cache it again."));
        QVERIFY(!findCache(file, printSettingsOf(job), nullptr, nullptr));
    }

    void aJpegRowNamesTheJpeg()
    {
        const QString jpeg = m_dir.filePath("photo 1.jpg");
        QImage image(400, 300, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QVERIFY(image.save(jpeg, "JPEG"));
        const CacheResult result = buildCacheForJob(hotFolderJob(jpeg, kRaw));
        QVERIFY2(result.success, qPrintable(result.message));
        QCOMPARE(result.pageCount, 1);
        PrintSettings settings = cacheSettingsFor(hotFolderJob(jpeg, kRaw), QString());
        QVERIFY(findCache(jpeg, settings));
        QCOMPARE(recordOf(QString(result.cachePath).replace(".prn", ".json")).value("sourcePath").toString(),
                 jpeg);

        writeFile(m_dir.filePath("notes.txt"), "text");
        const CacheResult text = buildCacheForJob(hotFolderJob(m_dir.filePath("notes.txt"), kRaw));
        QVERIFY(!text.success);
        QVERIFY(text.message.startsWith("The initial cache version supports PDF, images"));
    }

    // From the window: refused where there is no preset or nothing to do;
    // in a hot folder, the row ends up "Cache ready".
    void fromTheWindow()
    {
        QSettings().setValue("acrobatDefaultRestored", true);
        QSettings().setValue("pdfEngine", "pdfium");
        removeLocalData();
        MainWindow window;
        ModalAnswerer dialogs;
        window.addFiles({pdf("normal.pdf")});
        window.cacheRow(0);
        QCOMPARE(dialogs.seen.last().section(" / ", 0, 0), QStringLiteral("Hot-folder caching only"));

        const int id = addHotFolder(window, "Cached");
        QVERIFY(id > 0);
        window.loadHotFolderTabs(id);
        const QString file = pdf("hot.pdf");
        window.addFiles({file});
        QVERIFY(window.store().execStatement(
            QString("INSERT INTO print_files (file_name, path, status, added_at, hot_folder_id, "
                    "sort_order, task_type, cache_path, copies) VALUES ('job.prn', '%1', 'pending', "
                    "'2026-12-07T10:00:00.000', %2, 5, 'cache', '%1', 1)")
                .arg(cacheFile("job.prn"))
                .arg(id)));
        window.reloadQueueTable();
        window.cacheRow(window.rowForPath(QDir::toNativeSeparators(cacheFile("job.prn"))));
        QCOMPARE(dialogs.seen.last(), QStringLiteral("Cache ready / This entry is already a standalone "
                                                     "cache job and does not need to be cached again."));

        dialogs.onDialog = [](QDialog *dialog) {
            dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        };
        QSignalSpy finished(window.caching(), &CacheActions::buildFinished);
        const int row = window.rowForPath(file);
        window.cacheRow(row);
        QCOMPARE(dialogs.seen.last(), QStringLiteral("Cache this file"));
        QCOMPARE(window.queueTable()->item(row, QueueTable::Status)->text(), QStringLiteral("Caching"));
        QCOMPARE(window.statusText(), QStringLiteral("Caching：hot.pdf"));
        QVERIFY(finished.wait(60000));
        QVERIFY2(window.statusText().startsWith("Cache complete: hot.pdf (2 pages, "), qPrintable(window.statusText()));
        QVERIFY(window.statusText().endsWith("，Built-in PDF)"));
        QCOMPARE(window.queueTable()->item(row, QueueTable::Status)->text(), QStringLiteral("Cache ready"));
    }

    // The manager lists the hot folder's caches only, a vanished source
    // included; importing makes a standalone job, deleting removes the
    // jobs, then the files.
    void cacheManager()
    {
        removeLocalData();
        QDir().mkpath(cacheDirectory());
        MainWindow window;
        ModalAnswerer dialogs;
        window.showCacheManager();
        QCOMPARE(dialogs.seen.last(), QStringLiteral("Cache manager / Caches are saved by hot folder. "
                                                     "Select a configured hot folder first."));
        const int id = addHotFolder(window, "Managed");
        QVERIFY(id > 0);
        const HotFolder folder = window.store().hotFolder(id);
        PrintJob job = hotFolderJob(pdf("gone soon.pdf"), kRaw);
        job.duplex = false;
        job.hotFolderId = id;
        QVERIFY(buildCacheForJob(job).success);
        job.path = pdf("letter.pdf");
        job.paperKey = "Letter";
        QVERIFY(buildCacheForJob(job).success);
        QFile::remove(m_dir.filePath("gone soon.pdf"));

        window.loadHotFolderTabs(id);
        CacheManagerDialog manager(&window.store(), folder, &window);
        QObject::connect(&manager, &CacheManagerDialog::listChanged, &window, &MainWindow::reloadQueueTable);
        QCOMPARE(manager.windowTitle(), QStringLiteral("Cache manager - Managed"));
        QCOMPARE(manager.entries().size(), 1);
        QCOMPARE(manager.table()->item(0, 0)->text(), QStringLiteral("gone soon.pdf (original file no longer exists)"));
        QCOMPARE(manager.table()->item(0, 0)->foreground().color(), QColor("#b54708"));
        QVERIFY(manager.summary()->text().startsWith("1 cache entries using "));

        const CacheEntry entry = manager.entries().first();
        manager.importCacheEntry(entry);
        QCOMPARE(window.queue()->entries().size(), 1);
        QCOMPARE(window.queue()->entries().first().toMap().value("task_type").toString(), QStringLiteral("cache"));

        dialogs.reply = QMessageBox::Yes;
        manager.deleteCacheEntry(entry);
        QVERIFY(dialogs.seen.last().startsWith("Delete cache / Delete this print cache?"));
        QCOMPARE(window.queue()->entries().size(), 0);
        QVERIFY(!QFile::exists(entry.prnPath) && !QFile::exists(entry.jsonPath));
        QCOMPARE(manager.summary()->text(), QStringLiteral("No cache in the current hot folder"));
    }
};

DUNMARROW_TEST_MAIN(TestCache)
#include "tst_cache.moc"
