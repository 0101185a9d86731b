#include "store/LocalStore.h"

#include "store/DataLocation.h"
#include "store/StoreSql.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

// The schema is a file format shared with every version of the program:
// these statements are quoted exactly and run in this order.
const char *const kSchemaStatements[] = {
    "CREATE TABLE IF NOT EXISTS print_files (id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "file_name TEXT NOT NULL,path TEXT NOT NULL UNIQUE,status TEXT NOT NULL DEFAULT 'pending',"
    "added_at TEXT NOT NULL,printed_at TEXT,printer_name TEXT,duplex INTEGER NOT NULL DEFAULT 0,"
    "color INTEGER NOT NULL DEFAULT 0,copies INTEGER NOT NULL DEFAULT 1,last_error TEXT)",
    "CREATE TABLE IF NOT EXISTS hot_folders (id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "name TEXT NOT NULL UNIQUE,printer_name TEXT,duplex_mode INTEGER NOT NULL DEFAULT 0,"
    "color INTEGER NOT NULL DEFAULT 0,paper_size TEXT NOT NULL DEFAULT 'A4',"
    "copies INTEGER NOT NULL DEFAULT 1,tab_color TEXT NOT NULL DEFAULT '#e9edf3',"
    "created_at TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS print_history (id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "file_name TEXT NOT NULL,path TEXT NOT NULL,file_type TEXT,"
    "file_size INTEGER NOT NULL DEFAULT 0,printer_name TEXT,"
    "page_count INTEGER NOT NULL DEFAULT 1,copies INTEGER NOT NULL DEFAULT 1,"
    "total_pages INTEGER NOT NULL DEFAULT 1,hot_folder_id INTEGER NOT NULL DEFAULT 0,"
    "hot_folder_name TEXT,printed_at TEXT NOT NULL)",
    "CREATE INDEX IF NOT EXISTS idx_print_history_printed_at ON print_history(printed_at DESC)",
    "CREATE TABLE IF NOT EXISTS form_templates (id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "name TEXT NOT NULL,paper_width_mm REAL NOT NULL DEFAULT 210,"
    "paper_height_mm REAL NOT NULL DEFAULT 297,layout_json TEXT NOT NULL DEFAULT '{}',"
    "created_at TEXT NOT NULL,updated_at TEXT NOT NULL)",
    "CREATE INDEX IF NOT EXISTS idx_form_templates_updated_at ON form_templates(updated_at DESC)",
};

using ColumnList = QList<QPair<QString, QString>>;

// Columns the first version of the program did not have, in the order they
// are added.
const ColumnList &printFilesUpgrades()
{
    static const ColumnList columns = {
        {"hot_folder_id", "ALTER TABLE print_files ADD COLUMN hot_folder_id INTEGER NOT NULL DEFAULT 0"},
        {"duplex_mode", "ALTER TABLE print_files ADD COLUMN duplex_mode INTEGER NOT NULL DEFAULT 0"},
        {"paper_size", "ALTER TABLE print_files ADD COLUMN paper_size TEXT NOT NULL DEFAULT 'A4'"},
        {"sort_order", "ALTER TABLE print_files ADD COLUMN sort_order INTEGER NOT NULL DEFAULT 0"},
        {"task_type", "ALTER TABLE print_files ADD COLUMN task_type TEXT NOT NULL DEFAULT 'file'"},
        {"cache_path", "ALTER TABLE print_files ADD COLUMN cache_path TEXT"},
        {"source_path", "ALTER TABLE print_files ADD COLUMN source_path TEXT"},
        {"cached_page_count", "ALTER TABLE print_files ADD COLUMN cached_page_count INTEGER NOT NULL DEFAULT 1"},
    };
    return columns;
}

const ColumnList &hotFoldersUpgrades()
{
    static const ColumnList columns = {
        {"paper_size", "ALTER TABLE hot_folders ADD COLUMN paper_size TEXT NOT NULL DEFAULT 'A4'"},
        {"tab_color", "ALTER TABLE hot_folders ADD COLUMN tab_color TEXT NOT NULL DEFAULT '#e9edf3'"},
    };
    return columns;
}

// Run on every open: both are idempotent.
const char *const kBackfillStatements[] = {
    // Rows written before duplex modes existed become long-edge duplex.
    "UPDATE print_files SET duplex_mode=1 WHERE duplex=1 AND duplex_mode=0",
    // Rows without a position keep their insertion order.
    "UPDATE print_files SET sort_order=id WHERE sort_order=0",
};

using StoreSql::setError;

} // namespace

LocalStore::LocalStore()
    : m_connectionName(QStringLiteral("quorvalent-dunmarrow-%1")
                           .arg(reinterpret_cast<quintptr>(this)))
{
}

LocalStore::~LocalStore()
{
    if (!m_db.isValid())
        return;
    // Qt keeps a connection (and warns) while any handle to it is alive, so
    // the handle goes before the connection is removed.
    const QString name = m_db.connectionName();
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
}

QString LocalStore::databaseFileName()
{
    return QStringLiteral("QuorvalentDunmarrow.db");
}

namespace {
constexpr int kBusyTimeoutMs = 60000;
} // namespace

bool LocalStore::open(QString *error)
{
    const QString directory = localDataDirectory();
    if (!QDir().mkpath(directory)) {
        setError(error, QStringLiteral("Unable to create the local data directory: ") + directory);
        return false;
    }
    m_databasePath = QDir(directory).filePath(databaseFileName());

    if (!m_db.isValid())
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_db.setDatabaseName(m_databasePath);
    // Another process (a command run, a second window, an import) may be
    // writing: wait for it rather than fail.
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!m_db.open()) {
        setError(error, m_db.lastError().text());
        return false;
    }
    return applySchema(error);
}

bool LocalStore::applySchema(QString *error)
{
    if (!execStatement(QStringLiteral("PRAGMA journal_mode=WAL"), error))
        return false;
    for (const char *sql : kSchemaStatements) {
        if (!execStatement(QString::fromLatin1(sql), error))
            return false;
    }
    if (!addMissingColumns(QStringLiteral("print_files"), printFilesUpgrades(), error))
        return false;
    if (!addMissingColumns(QStringLiteral("hot_folders"), hotFoldersUpgrades(), error))
        return false;
    for (const char *sql : kBackfillStatements) {
        if (!execStatement(QString::fromLatin1(sql), error))
            return false;
    }
    // Only a speed aid for finding a list's last position (every insert
    // asks): a file that cannot take it still works, more slowly.
    execStatement(QStringLiteral("CREATE INDEX IF NOT EXISTS idx_print_files_folder_order ON "
                                 "print_files(hot_folder_id, sort_order)"));
    // The jobs at the printer: tables of this program's own beside the
    // shared ones, which stay as they are. A file that cannot take them
    // still opens; jobs are then not followed across a restart.
    execStatement(QStringLiteral("CREATE TABLE IF NOT EXISTS print_job_ends (history_id INTEGER PRIMARY KEY,"
                                 "printer_name TEXT NOT NULL,job_id INTEGER NOT NULL,state TEXT NOT NULL,"
                                 "message TEXT,ended_at TEXT NOT NULL)"));
    execStatement(QStringLiteral("CREATE TABLE IF NOT EXISTS print_sent_jobs (path TEXT PRIMARY KEY,"
                                 "printer_name TEXT NOT NULL,job_id INTEGER NOT NULL DEFAULT 0,"
                                 "history_id INTEGER NOT NULL DEFAULT 0,record TEXT NOT NULL,"
                                 "sent_at TEXT NOT NULL)"));
    return true;
}

bool LocalStore::addMissingColumns(const QString &table, const ColumnList &columns,
                                   QString *error)
{
    const QSqlRecord existing = m_db.record(table);
    for (const auto &[column, sql] : columns) {
        if (existing.contains(column))
            continue;
        if (!execStatement(sql, error))
            return false;
    }
    return true;
}

bool LocalStore::execStatement(const QString &sql, QString *error)
{
    QSqlQuery query(m_db);
    if (!query.exec(sql)) {
        setError(error, query.lastError().text());
        return false;
    }
    return true;
}

bool LocalStore::beginTransaction(QString *error)
{
    return StoreSql::beginWriting(m_db, error);
}

bool LocalStore::commitTransaction(QString *error)
{
    if (m_db.commit())
        return true;
    setError(error, m_db.lastError().text());
    m_db.rollback();
    return false;
}

void LocalStore::rollbackTransaction()
{
    m_db.rollback();
}

QString LocalStore::normalizedPath(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

QString LocalStore::timestamp()
{
    return QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
}
