#include "QueueFixture.h"
#include "SqlFile.h"
#include "TestMain.h"

#include "store/LocalStore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

#include <unistd.h>

namespace {

const QString kHistoryTable = QStringLiteral(
    "CREATE TABLE print_history (id INTEGER PRIMARY KEY,file_name TEXT,path TEXT,file_type TEXT,"
    "file_size INTEGER,printer_name TEXT,page_count INTEGER,copies INTEGER,total_pages INTEGER,"
    "hot_folder_id INTEGER,hot_folder_name TEXT,printed_at TEXT)");

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<LocalStore> m_store;

    QString file(const QString &name) const { return m_dir.filePath(name); }
    int historyCount() const { return int(m_store->recentHistory(100000).size()); }

private Q_SLOTS:
    void init()
    {
        m_store = freshLocalStore();
        QVERIFY(m_store->isOpen());
    }
    void cleanup() { m_store.reset(); }

    void addingRows()
    {
        QVERIFY(writeFile(file("report.final.pdf"), QByteArray(2048, 'x')));
        QVERIFY(m_store->addHistory(file("report.final.pdf"), "P1", 0, 0, 3, "Invoices", "  "));
        QVERIFY(m_store->addHistory(file("gone"), "P1", 4, 3, 0, "Normal queue", " Shown name "));
        const QVariantList rows = m_store->recentHistory(10);
        QCOMPARE(rows.size(), 2);
        const QVariantMap newest = rows.at(0).toMap();
        QCOMPARE(newest.value("file_name").toString(), QStringLiteral(" Shown name "));
        QCOMPARE(newest.value("file_type").toString(), QString());
        QCOMPARE(newest.value("file_size").toLongLong(), 0);
        QCOMPARE(newest.value("total_pages").toInt(), 12);
        const QVariantMap first = rows.at(1).toMap();
        QCOMPARE(first.value("file_name").toString(), QStringLiteral("report.final.pdf"));
        QCOMPARE(first.value("file_type").toString(), QStringLiteral("PDF"));
        QCOMPARE(first.value("file_size").toLongLong(), 2048);
        QCOMPARE(first.value("page_count").toInt(), 1);
        QCOMPARE(first.value("copies").toInt(), 1);
        QCOMPARE(first.value("total_pages").toInt(), 1);
        QCOMPARE(first.value("hot_folder_name").toString(), QStringLiteral("Invoices"));
        QCOMPARE(first.keys().size(), 12);
        QCOMPARE(m_store->recentHistory(1).size(), 1);
        QCOMPARE(m_store->recentHistory(0).size(), 1); // at least one row is asked for
    }

    // Another process writing the same database meanwhile (a command run,
    // an import): every print is recorded, none fails as "locked".
    void recordsWhileAnotherProcessWrites()
    {
        for (int i = 0; i < 100; ++i)
            QVERIFY(m_store->addFile(file(QString("%1.pdf").arg(i)), 0, RowSettings()));
        QProcess writer;
        // First a long write, as a large import is (past the driver's
        // default wait of 5 s), then many short ones.
        writer.start("python3", {"-c", "import sqlite3, sys, time\n"
                                       "db = sqlite3.connect(sys.argv[1], timeout=60, isolation_level=None)\n"
                                       "def write(hold):\n"
                                       "    db.execute('BEGIN IMMEDIATE')\n"
                                       "    print('writing', flush=True)\n"
                                       "    db.execute(\"INSERT INTO print_history (file_name, path, printer_name, \"\n"
                                       "               \"printed_at) VALUES ('other', '/other', 'P', '2026-12-07T10:00:00.000')\")\n"
                                       "    time.sleep(hold)\n"
                                       "    db.execute('COMMIT')\n"
                                       "write(5.5)\n"
                                       "end = time.time() + 1\n"
                                       "while time.time() < end:\n"
                                       "    write(0.002)\n",
                                 m_store->databasePath()});
        QVERIFY(writer.waitForStarted());
        QVERIFY(writer.waitForReadyRead(30000)); // it holds the database now
        int recorded = 0;
        for (int i = 0; i < 100; ++i) {
            PrintedFile printed;
            printed.rowPath = printed.historyPath = file(QString("%1.pdf").arg(i));
            printed.printerName = "P";
            QString error;
            recorded += m_store->recordPrinted(printed, &error) ? 1 : 0;
        }
        QVERIFY(writer.waitForFinished(30000));
        QVERIFY2(writer.exitCode() == 0, writer.readAllStandardError().constData());
        QCOMPARE(recorded, 100);
    }

    void importingTwiceAddsNothingTheSecondTime()
    {
        const QString source = file("other.db");
        QVERIFY(execOnFile(source, {kHistoryTable,
            "INSERT INTO print_history VALUES (7,'x.pdf','/x/x.pdf','PDF',10,'P',2,3,6,0,'Normal queue','2025-03-01T14:05:09.123')",
            "INSERT INTO print_history VALUES (8,'y.pdf','/x/y.pdf','PDF',10,NULL,1,1,1,0,NULL,'2025-03-01T14:06:00.000')",
            "INSERT INTO print_history VALUES (9,'z.pdf','/x/z.pdf','PDF',10,'P',0,0,50,-4,'Lab','2025-03-01T14:07:00.000')"}));
        int imported = 0;
        int skipped = 0;
        QString error;
        QVERIFY2(m_store->importHistory(source, &imported, &skipped, &error), qPrintable(error));
        QCOMPARE(imported, 3);
        QCOMPARE(skipped, 0);
        // Rows without printer or folder name are found again, not duplicated.
        QVERIFY(m_store->importHistory(source, &imported, &skipped, &error));
        QCOMPARE(imported, 0);
        QCOMPARE(skipped, 3);
        QCOMPARE(historyCount(), 3);

        const QVariantMap z = m_store->recentHistory(100).at(0).toMap();
        QCOMPARE(z.value("page_count").toInt(), 1);
        QCOMPARE(z.value("copies").toInt(), 1);
        QCOMPARE(z.value("total_pages").toInt(), 50); // larger than 1 × 1: kept
        QCOMPARE(z.value("hot_folder_id").toInt(), 0);
        const QVariantMap y = m_store->recentHistory(100).at(1).toMap();
        QVERIFY(y.value("printer_name").isNull());
    }

    void foreignFilesOfEveryShape_data()
    {
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("imported");
        QTest::newRow("no history table") << QStringList{"CREATE TABLE other(x)"} << false << 0;
        QTest::newRow("missing columns")
            << QStringList{"CREATE TABLE print_history(id INTEGER, file_name TEXT, path TEXT)",
                           "INSERT INTO print_history VALUES (1,'a','/a')"}
            << false << 0;
        QTest::newRow("wrong types and hostile text")
            << QStringList{kHistoryTable,
                           "INSERT INTO print_history VALUES (1,'''); DROP TABLE print_history;--',"
                           "'',X'00FF',-5,'P\"x',' lots','many',NULL,'x',NULL,'')"}
            << true << 1;
        QTest::newRow("huge numbers")
            << QStringList{kHistoryTable,
                           "INSERT INTO print_history VALUES (1,'big.pdf','/b','PDF',9223372036854775807,"
                           "'P',9223372036854775807,9223372036854775807,1,9223372036854775807,'F','t')"}
            << true << 1;
        QTest::newRow("empty table") << QStringList{kHistoryTable} << true << 0;
    }

    void foreignFilesOfEveryShape()
    {
        QFETCH(QStringList, statements);
        QFETCH(bool, ok);
        QFETCH(int, imported);
        const QString source = file(QString::fromLatin1(QTest::currentDataTag()) + ".db");
        QVERIFY(execOnFile(source, statements));
        QVERIFY(m_store->addHistory(file("mine.pdf"), "P", 1, 1, 0, "Normal queue", ""));
        int count = -1;
        int skipped = -1;
        QString error;
        QCOMPARE(m_store->importHistory(source, &count, &skipped, &error), ok);
        QCOMPARE(count, imported);
        if (!ok)
            QVERIFY(!error.isEmpty());
        QCOMPARE(historyCount(), 1 + imported);
        // The store stays usable: the import's database was detached.
        QVERIFY(m_store->addHistory(file("after.pdf"), "P", 1, 1, 0, "Normal queue", ""));
    }

    // Neither direction works on the active database under any of its
    // names, nor on a file that is not a database or cannot be there; a
    // refused export leaves nothing behind.
    void refusals()
    {
        QVERIFY(m_store->addHistory(file("a.pdf"), "P", 1, 1, 0, "Normal queue", ""));
        int imported = 0;
        int skipped = 0;
        QString error;
        QVERIFY(!m_store->importHistory(file("none.db"), &imported, &skipped, &error));
        QCOMPARE(error, QStringLiteral("The selected database file does not exist."));
        const QString link = file("link.db");
        QVERIFY(QFile::link(m_store->databasePath(), link));
        const QString hardLink = file("hard link.db");
        QVERIFY(::link(QFile::encodeName(m_store->databasePath()).constData(),
                       QFile::encodeName(hardLink).constData())
                == 0);
        for (const QString &same : {m_store->databasePath(), link, hardLink}) {
            QVERIFY(!m_store->importHistory(same, &imported, &skipped, &error));
            QCOMPARE(error, QStringLiteral("The active database cannot be imported into itself."));
            QVERIFY(!m_store->exportHistory(same, &error));
            QCOMPARE(error, QStringLiteral("A backup cannot overwrite the active database."));
        }
        QCOMPARE(historyCount(), 1);

        QVERIFY(writeFile(file("notes.db"), QByteArray("not a database, just notes\n").repeated(100)));
        QVERIFY(!m_store->importHistory(file("notes.db"), &imported, &skipped, &error));
        QVERIFY(!error.isEmpty());
        const QString missing = file("no such folder/backup.db");
        QVERIFY(!m_store->exportHistory(missing, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFile::exists(missing));
    }

    // The rows before a damaged page are not the file's history.
    void importOfADamagedFileImportsNothing()
    {
        const QString path = file("damaged.db");
        QStringList statements{kHistoryTable, "BEGIN"};
        for (int i = 0; i < 3000; ++i)
            statements << QStringLiteral("INSERT INTO print_history(file_name,path,page_count,copies,"
                                         "printed_at) VALUES('f%1.pdf','%2',1,1,'2026-01-01')")
                              .arg(i)
                              .arg(QString(200, QLatin1Char('p')) + QString::number(i));
        statements << "COMMIT";
        QVERIFY(execOnFile(path, statements));
        QFile damaged(path);
        QVERIFY(damaged.open(QIODevice::ReadWrite));
        QVERIFY(damaged.size() > 100 * 4096);
        damaged.seek(80 * 4096);
        damaged.write(QByteArray(4096, '\xA5'));
        damaged.close();

        int imported = -1;
        int skipped = -1;
        QString error;
        QVERIFY(!m_store->importHistory(path, &imported, &skipped, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(imported, 0);
        QCOMPARE(historyCount(), 0);
    }

    // A backup in the backup's own layout, found again row by row when
    // imported into the database it came from. A new backup replaces the
    // old one in one step, under a temporary name of its own: a user's file
    // that happens to bear a likely name is not touched, and a replacement
    // that fails keeps the earlier backup.
    void exportImportAndReplace()
    {
        const QString backup = file("kept.db");
        QVERIFY(m_store->exportHistory(backup)); // of an empty history
        int imported = -1;
        int skipped = -1;
        QString error;
        QVERIFY(m_store->importHistory(backup, &imported, &skipped));
        QCOMPARE(imported + skipped, 0);
        QVERIFY(writeFile(backup + ".part", "the user's own notes"));
        QVERIFY(m_store->addHistory(file("a.pdf"), "P1", 2, 1, 0, "Normal queue", ""));
        QVERIFY(m_store->addHistory(file("b.pdf"), "P1", 3, 2, 1, "Lab", ""));
        QVERIFY(m_store->exportHistory(backup));
        QCOMPARE(readFile(backup + ".part"), QByteArray("the user's own notes"));
        QCOMPARE(queryFile(backup, "SELECT format || '/' || version FROM backup_meta"),
                 QStringList{"Quorvalent.Dunmarrow.print_history/1"});
        QCOMPARE(queryFile(backup, "SELECT count(*) FROM print_history"), QStringList{"2"});
        QCOMPARE(queryFile(backup, "SELECT name FROM sqlite_master WHERE type='index'"),
                 QStringList{"idx_print_history_printed_at"});
        QVERIFY2(m_store->importHistory(backup, &imported, &skipped, &error), qPrintable(error));
        QCOMPARE(imported, 0);
        QCOMPARE(skipped, 2);
        QCOMPARE(historyCount(), 2);

        QVERIFY(m_store->addHistory(file("c.pdf"), "P", 1, 1, 0, "Normal queue", ""));
        if (makeFileReadOnly(backup)) {
            QVERIFY(!m_store->exportHistory(backup, &error));
            QCOMPARE(error, QStringLiteral("Unable to overwrite the existing backup file."));
            makeFileWritable(backup);
            QCOMPARE(queryFile(backup, "SELECT count(*) FROM print_history"), QStringList{"2"});
        }
        QCOMPARE(QDir(m_dir.path()).entryList({"kept.db*"}, QDir::Files),
                 (QStringList{"kept.db", "kept.db.part"}));
    }
};

DUNMARROW_TEST_MAIN(TestHistory)
#include "tst_history.moc"
