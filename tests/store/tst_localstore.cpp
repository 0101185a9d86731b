#include "SqlFile.h"
#include "TestMain.h"

#include "store/DataLocation.h"
#include "store/LocalStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QStandardPaths>

#include <memory>

namespace {

QByteArray fileDigest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

QString expectedDatabasePath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
        .filePath(QStringLiteral("QuorvalentDunmarrow.db"));
}

// Every test starts from a profile without a database.
void removeDatabaseFiles()
{
    const QString path = expectedDatabasePath();
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

// The print_files layout of the first version of the program.
void writeFirstVersionDatabase(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QVERIFY(execOnFile(path, {
        "CREATE TABLE print_files (id INTEGER PRIMARY KEY AUTOINCREMENT,file_name TEXT NOT NULL,"
        "path TEXT NOT NULL UNIQUE,status TEXT NOT NULL DEFAULT 'pending',added_at TEXT NOT NULL,"
        "printed_at TEXT,printer_name TEXT,duplex INTEGER NOT NULL DEFAULT 0,"
        "color INTEGER NOT NULL DEFAULT 0,copies INTEGER NOT NULL DEFAULT 1,last_error TEXT)",
        "CREATE TABLE hot_folders (id INTEGER PRIMARY KEY AUTOINCREMENT,name TEXT NOT NULL UNIQUE,"
        "printer_name TEXT,duplex_mode INTEGER NOT NULL DEFAULT 0,color INTEGER NOT NULL DEFAULT 0,"
        "copies INTEGER NOT NULL DEFAULT 1,created_at TEXT NOT NULL)",
        "INSERT INTO print_files (file_name,path,added_at,duplex,copies) VALUES "
        "('a.pdf','/d/a.pdf','2024-01-01T10:00:00.000',1,2),"
        "('b.pdf','/d/b.pdf','2024-01-01T10:00:01.000',0,1),"
        "('c.pdf','/d/c.pdf','2024-01-01T10:00:02.000',1,3)",
        "INSERT INTO hot_folders (name,created_at) VALUES ('Invoices','2024-01-01')"}));
}

// The column names of a table, in order.
QStringList columnNames(const QString &path, const QString &table)
{
    return queryFile(path, QStringLiteral("SELECT name FROM pragma_table_info('%1')").arg(table));
}

} // namespace

class TestLocalStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { removeDatabaseFiles(); }

    void freshProfileCreatesEverything()
    {
        const QString dataDir = QFileInfo(expectedDatabasePath()).absolutePath();
        QDir(dataDir).removeRecursively();

        LocalStore store;
        QString error;
        QVERIFY2(store.open(&error), qPrintable(error));
        QVERIFY(store.isOpen());
        QCOMPARE(store.databasePath(), expectedDatabasePath());
        QVERIFY(QFile::exists(expectedDatabasePath()));

        const QString db = store.databasePath();
        QCOMPARE(queryFile(db, "PRAGMA journal_mode"), QStringList{"wal"});
        QCOMPARE(queryFile(db, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name"),
                 (QStringList{"form_templates", "hot_folders", "print_files", "print_history",
                               "print_job_ends", "print_sent_jobs", "sqlite_sequence"}));
        QCOMPARE(queryFile(db, "SELECT name FROM sqlite_master WHERE type='index' AND name LIKE 'idx_%' "
                           "ORDER BY name"),
                 (QStringList{"idx_form_templates_updated_at", "idx_print_files_folder_order",
                               "idx_print_history_printed_at"}));
        QCOMPARE(columnNames(db, "print_files"),
                 (QStringList{"id", "file_name", "path", "status", "added_at", "printed_at",
                              "printer_name", "duplex", "color", "copies", "last_error",
                              "hot_folder_id", "duplex_mode", "paper_size", "sort_order",
                              "task_type", "cache_path", "source_path", "cached_page_count"}));
        QCOMPARE(columnNames(db, "hot_folders"),
                 (QStringList{"id", "name", "printer_name", "duplex_mode", "color", "paper_size",
                              "copies", "tab_color", "created_at"}));
    }

    // A second open changes no schema and keeps the values it finds, but
    // fills in again what rows of a version that knew neither column's
    // meaning left out.
    void secondOpenOnlyBackfills()
    {
        QStringList schemaBefore;
        {
            LocalStore store;
            QVERIFY(store.open());
            QVERIFY(store.execStatement(
                "INSERT INTO print_files (file_name,path,added_at,duplex,duplex_mode,sort_order) "
                "VALUES ('a','/a','t',1,0,0),('b','/b','t',1,2,5)"));
            schemaBefore = queryFile(store.databasePath(), "SELECT sql FROM sqlite_master ORDER BY name");
        }
        LocalStore store;
        QVERIFY(store.open());
        const QString db = store.databasePath();
        QCOMPARE(queryFile(db, "SELECT sql FROM sqlite_master ORDER BY name"), schemaBefore);
        QCOMPARE(queryFile(db, "SELECT duplex_mode FROM print_files ORDER BY id"), (QStringList{"1", "2"}));
        QCOMPARE(queryFile(db, "SELECT sort_order FROM print_files ORDER BY id"), (QStringList{"1", "5"}));
    }

    void firstVersionFileIsUpgraded()
    {
        writeFirstVersionDatabase(expectedDatabasePath());

        LocalStore store;
        QString error;
        QVERIFY2(store.open(&error), qPrintable(error));

        const QString db = store.databasePath();
        QCOMPARE(columnNames(db, "print_files").size(), 19);
        QCOMPARE(queryFile(db, "SELECT duplex_mode FROM print_files ORDER BY id"),
                 (QStringList{"1", "0", "1"}));
        QCOMPARE(queryFile(db, "SELECT sort_order FROM print_files ORDER BY id"),
                 (QStringList{"1", "2", "3"}));
        QCOMPARE(queryFile(db, "SELECT paper_size || '|' || task_type || '|' || hot_folder_id || '|' "
                           "|| cached_page_count || '|' || (cache_path IS NULL) "
                           "|| (source_path IS NULL) FROM print_files WHERE id=2"),
                 QStringList{"A4|file|0|1|11"});
        QCOMPARE(queryFile(db, "SELECT paper_size || '|' || tab_color FROM hot_folders"),
                 QStringList{"A4|#e9edf3"});
        // Existing values are kept.
        QCOMPARE(queryFile(db, "SELECT copies FROM print_files ORDER BY id"), (QStringList{"2", "1", "3"}));
        // The list's order is found through an index on the new columns.
        QCOMPARE(queryFile(db, "SELECT count(*) FROM sqlite_master WHERE name='idx_print_files_folder_order'"),
                 QStringList{"1"});
    }

    void storesHaveOwnConnections()
    {
        auto first = std::make_unique<LocalStore>();
        auto second = std::make_unique<LocalStore>();
        QVERIFY(first->connectionName() != second->connectionName());
        QVERIFY(first->connectionName().startsWith(QLatin1String("quorvalent-dunmarrow-")));
        QVERIFY(first->open());
        QVERIFY(second->open());

        const QString name = first->connectionName();
        QVERIFY(QSqlDatabase::contains(name));
        first.reset();
        // Closing one leaves the other working and unregisters only its own.
        QVERIFY(!QSqlDatabase::contains(name));
        QVERIFY(second->execStatement("SELECT 1"));
    }

    void fileThatIsNotSqliteIsLeftAlone()
    {
        const QString path = expectedDatabasePath();
        QVERIFY(writeFile(path, QByteArray("%PDF-1.7\n").repeated(2000)));
        const QByteArray before = fileDigest(path);

        LocalStore store;
        QString error;
        QVERIFY(!store.open(&error));
        QVERIFY2(error.contains(QLatin1String("not a database")), qPrintable(error));
        QCOMPARE(fileDigest(path), before);
    }

    void readOnlyFileIsReported()
    {
        {
            LocalStore store;
            QVERIFY(store.open());
        }
        const QString path = expectedDatabasePath();
        // Leave a plain rollback-journal file, as a copy from elsewhere would be.
        queryFile(path, "PRAGMA journal_mode=DELETE");
        if (!makeFileReadOnly(path)) {
            makeFileWritable(path);
            QSKIP("this file system lets the process write a read-only file");
        }
        const QByteArray before = fileDigest(path);

        QString error;
        bool opened = false;
        {
            LocalStore store;
            opened = store.open(&error);
        }
        makeFileWritable(path);
        QVERIFY(!opened);
        QVERIFY2(error.contains(QLatin1String("readonly")), qPrintable(error));
        QCOMPARE(fileDigest(path), before);
    }

};

DUNMARROW_TEST_MAIN(TestLocalStore)
#include "tst_localstore.moc"
