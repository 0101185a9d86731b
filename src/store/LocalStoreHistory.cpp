// The print history, its export to a separate file and the merge back.

#include "store/LocalStore.h"
#include "store/StoreSql.h"

#include <QFile>
#include <QFileInfo>

#include <QTemporaryFile>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>

#include <sys/stat.h>

using namespace StoreSql;

namespace {

const char kHistoryColumns[] = "id,file_name,path,file_type,file_size,printer_name,page_count,"
                               "copies,total_pages,hot_folder_id,hot_folder_name,printed_at";

const char kInsertHistory[] =
    "INSERT INTO print_history(file_name,path,file_type,file_size,printer_name,page_count,copies,"
    "total_pages,hot_folder_id,hot_folder_name,printed_at) VALUES(:name,:path,:type,:size,:printer,"
    ":pages,:copies,:total,:folderId,:folderName,:time)";

QString upperSuffix(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1).toUpper();
}

// Stored integers can be anything a foreign file holds: read them wide and
// keep products from overflowing.
qint64 atLeast(const QVariant &value, qint64 minimum)
{
    return std::max(value.toLongLong(), minimum);
}

qint64 saturatedProduct(qint64 a, qint64 b)
{
    qint64 product = 0;
    if (__builtin_mul_overflow(a, b, &product))
        return std::numeric_limits<qint64>::max();
    return product;
}

} // namespace

bool LocalStore::isActiveDatabase(const QString &path) const
{
    const QFileInfo info(path);
    if (info.absoluteFilePath() == m_databasePath)
        return true;
    // Another name of the same file (a symbolic or hard link, another mount
    // point) is the same database: writing a backup over it would destroy
    // the history.
    struct stat candidate{};
    struct stat active{};
    return ::stat(QFile::encodeName(path).constData(), &candidate) == 0
        && ::stat(QFile::encodeName(m_databasePath).constData(), &active) == 0
        && candidate.st_dev == active.st_dev && candidate.st_ino == active.st_ino;
}

bool LocalStore::addHistory(const QString &path, const QString &printerName, int pageCount,
                            int copies, int hotFolderId, const QString &hotFolderName,
                            const QString &displayName, QString *error, qint64 *historyId)
{
    const QString name =
        displayName.trimmed().isEmpty() ? QFileInfo(path).fileName() : displayName;
    const qint64 pages = std::max(pageCount, 1);
    const qint64 copyCount = std::max(copies, 1);
    const QFileInfo file(path);
    QSqlQuery query(m_db);
    query.prepare(QString::fromLatin1(kInsertHistory));
    query.bindValue(QStringLiteral(":name"), name);
    query.bindValue(QStringLiteral(":path"), normalizedPath(path));
    query.bindValue(QStringLiteral(":type"), upperSuffix(name));
    query.bindValue(QStringLiteral(":size"), file.exists() ? file.size() : qint64(0));
    query.bindValue(QStringLiteral(":printer"), printerName);
    query.bindValue(QStringLiteral(":pages"), pages);
    query.bindValue(QStringLiteral(":copies"), copyCount);
    query.bindValue(QStringLiteral(":total"), pages * copyCount);
    query.bindValue(QStringLiteral(":folderId"), hotFolderId);
    query.bindValue(QStringLiteral(":folderName"), hotFolderName);
    query.bindValue(QStringLiteral(":time"), timestamp());
    if (!run(query, error))
        return false;
    if (historyId)
        *historyId = query.lastInsertId().toLongLong();
    return true;
}

bool LocalStore::recordPrinted(const PrintedFile &printed, QString *error, qint64 *historyId)
{
    Transaction transaction(m_db, error);
    if (!transaction.isOpen())
        return false;
    // Copies changed while the file printed (stored as they were set) stay:
    // the row is marked with the copies it has now.
    QSqlQuery current(m_db);
    current.prepare(QStringLiteral("SELECT copies FROM print_files WHERE path=:path"));
    current.bindValue(QStringLiteral(":path"), normalizedPath(printed.rowPath));
    if (!run(current, error))
        return false;
    const int rowCopies = current.next() ? current.value(0).toInt() : printed.copies;
    current.finish();
    qint64 added = 0;
    if (!markPrinted(printed.rowPath, printed.printerName, printed.duplex, printed.color, rowCopies, error)
        || !addHistory(printed.historyPath, printed.printerName, printed.pages, printed.copies,
                       printed.hotFolderId, printed.hotFolderName, printed.displayName, error, &added))
        return false;
    linkSentJob(printed.rowPath, added);
    if (historyId)
        *historyId = added;
    return transaction.commit();
}

QVariantList LocalStore::recentHistory(int limit) const
{
    if (!isOpen())
        return {};
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT %1 FROM print_history ORDER BY id DESC LIMIT :limit")
                      .arg(QLatin1String(kHistoryColumns)));
    query.bindValue(QStringLiteral(":limit"), std::clamp(limit, 1, 100000));
    if (!query.exec())
        return {};
    return allRows(query);
}

bool LocalStore::exportHistory(const QString &targetPath, QString *error)
{
    const QString target = QFileInfo(targetPath).absoluteFilePath();
    if (isActiveDatabase(target)) {
        setError(error, QStringLiteral("A backup cannot overwrite the active database."));
        return false;
    }
    const QString overwriteFailed = QStringLiteral("Unable to overwrite the existing backup file.");
    if (QFileInfo::exists(target) && !QFileInfo(target).isWritable()) {
        setError(error, overwriteFailed);
        return false;
    }
    // The backup is written beside the target under a name of its own and
    // only then takes its place in one step: a failed export leaves an
    // earlier backup of that name, and every other file, intact.
    QTemporaryFile partialFile(target + QStringLiteral(".XXXXXX.part"));
    if (!partialFile.open()) {
        setError(error, partialFile.errorString());
        return false;
    }
    partialFile.close();
    const QString partial = partialFile.fileName();
    QSqlQuery attach(m_db);
    attach.prepare(QStringLiteral("ATTACH DATABASE :path AS history_backup"));
    attach.bindValue(QStringLiteral(":path"), partial);
    if (!attach.exec()) {
        setError(error, attach.lastError().text());
        return false;
    }
    const char *statements[] = {
        "CREATE TABLE history_backup.backup_meta(format TEXT NOT NULL,version INTEGER NOT "
        "NULL,exported_at TEXT NOT NULL)",
        "INSERT INTO history_backup.backup_meta(format,version,exported_at) "
        "VALUES('Quorvalent.Dunmarrow.print_history',1,datetime('now','localtime'))",
        "CREATE TABLE history_backup.print_history AS SELECT id,file_name,path,file_type,"
        "file_size,printer_name,page_count,copies,total_pages,hot_folder_id,hot_folder_name,"
        "printed_at FROM main.print_history ORDER BY id",
        "CREATE INDEX history_backup.idx_print_history_printed_at ON print_history(printed_at DESC)",
    };
    QString failure;
    for (const char *sql : statements) {
        if (!execStatement(QString::fromLatin1(sql), &failure))
            break;
    }
    QString detachError;
    const bool detached =
        execStatement(QStringLiteral("DETACH DATABASE history_backup"), &detachError);
    if (failure.isEmpty() && !detached)
        failure = detachError;
    if (!failure.isEmpty()) {
        setError(error, failure);
        return false;
    }
    if (::rename(QFile::encodeName(partial).constData(), QFile::encodeName(target).constData())
        != 0) {
        setError(error, overwriteFailed);
        return false;
    }
    partialFile.setAutoRemove(false); // it is the backup now
    return true;
}

bool LocalStore::importHistory(const QString &sourcePath, int *imported, int *skipped,
                               QString *error)
{
    *imported = 0;
    *skipped = 0;
    const QString source = QFileInfo(sourcePath).absoluteFilePath();
    if (!QFileInfo::exists(source)) {
        setError(error, QStringLiteral("The selected database file does not exist."));
        return false;
    }
    if (isActiveDatabase(source)) {
        setError(error, QStringLiteral("The active database cannot be imported into itself."));
        return false;
    }
    QSqlQuery attach(m_db);
    attach.prepare(QStringLiteral("ATTACH DATABASE :path AS history_import"));
    attach.bindValue(QStringLiteral(":path"), source);
    if (!attach.exec()) {
        setError(error, QStringLiteral("Unable to open the print history database: ")
                            + attach.lastError().text());
        return false;
    }

    QString failure;
    QVariantList rows;
    {
        QSqlQuery table(m_db);
        if (!table.exec(QStringLiteral("SELECT name FROM history_import.sqlite_master WHERE "
                                       "type='table' AND name='print_history'"))
            || !table.next()) {
            failure = QStringLiteral("The selected database does not contain a print_history table.");
        } else {
            // A read that stops at damage imports nothing: the rows before
            // it are not the file's history.
            QSqlQuery read(m_db);
            if (read.exec(QStringLiteral("SELECT %1 FROM history_import.print_history ORDER BY id")
                              .arg(QLatin1String(kHistoryColumns))))
                readRows(read, &rows, &failure);
            else
                failure = read.lastError().text();
        }
    }
    QString detachError;
    if (!execStatement(QStringLiteral("DETACH DATABASE history_import"), &detachError)
        && failure.isEmpty())
        failure = detachError;
    if (!failure.isEmpty()) {
        setError(error, failure);
        return false;
    }

    int inserted = 0;
    if (!importHistoryRows(rows, &inserted, error))
        return false;
    *imported = inserted;
    *skipped = int(rows.size()) - inserted;
    return true;
}

bool LocalStore::importHistoryRows(const QVariantList &rows, int *inserted, QString *error)
{
    *inserted = 0;
    // In short transactions: a print recorded meanwhile, by this program or
    // another, waits for one of them, not for the whole import. A failure
    // keeps what went in before it; importing again skips those rows.
    constexpr int kRowsPerTransaction = 1000;
    std::unique_ptr<Transaction> transaction;
    // "IS" rather than "=": a row with no printer or folder name is still
    // the same row, not a new one on every import.
    QSqlQuery duplicate(m_db);
    duplicate.prepare(QStringLiteral(
        "SELECT 1 FROM print_history WHERE path=:path AND printed_at=:time AND printer_name IS "
        ":printer AND page_count=:pages AND copies=:copies AND hot_folder_name IS :folder LIMIT 1"));
    QSqlQuery insert(m_db);
    insert.prepare(QString::fromLatin1(kInsertHistory));

    int count = 0;
    int inTransaction = 0;
    for (const QVariant &item : rows) {
        if (inTransaction == kRowsPerTransaction) {
            if (!transaction->commit())
                return false;
            transaction.reset();
            inTransaction = 0;
            *inserted = count;
        }
        if (!transaction) {
            transaction = std::make_unique<Transaction>(m_db, error);
            if (!transaction->isOpen())
                return false;
        }
        ++inTransaction;
        const QVariantMap row = item.toMap();
        const QString storedPath = row.value(QStringLiteral("path")).toString();
        const QString path = storedPath.isEmpty() ? row.value(QStringLiteral("file_name")).toString()
                                                  : normalizedPath(storedPath);
        QString name = row.value(QStringLiteral("file_name")).toString();
        if (name.isEmpty())
            name = QFileInfo(path).fileName();
        const QVariant printer = row.value(QStringLiteral("printer_name"));
        const QVariant folder = row.value(QStringLiteral("hot_folder_name"));
        QString time = row.value(QStringLiteral("printed_at")).toString();
        if (time.isEmpty())
            time = timestamp();
        const qint64 pages = atLeast(row.value(QStringLiteral("page_count"), 1), 1);
        const qint64 copies = atLeast(row.value(QStringLiteral("copies"), 1), 1);

        duplicate.bindValue(QStringLiteral(":path"), path);
        duplicate.bindValue(QStringLiteral(":time"), time);
        duplicate.bindValue(QStringLiteral(":printer"), printer);
        duplicate.bindValue(QStringLiteral(":pages"), pages);
        duplicate.bindValue(QStringLiteral(":copies"), copies);
        duplicate.bindValue(QStringLiteral(":folder"), folder);
        if (!run(duplicate, error))
            return false;
        const bool present = duplicate.next();
        duplicate.finish();
        if (present)
            continue;

        insert.bindValue(QStringLiteral(":name"), name);
        insert.bindValue(QStringLiteral(":path"), path);
        insert.bindValue(QStringLiteral(":type"), row.value(QStringLiteral("file_type")));
        insert.bindValue(QStringLiteral(":size"), atLeast(row.value(QStringLiteral("file_size")), 0));
        insert.bindValue(QStringLiteral(":printer"), printer);
        insert.bindValue(QStringLiteral(":pages"), pages);
        insert.bindValue(QStringLiteral(":copies"), copies);
        insert.bindValue(QStringLiteral(":total"),
                         std::max(saturatedProduct(pages, copies),
                                  row.value(QStringLiteral("total_pages")).toLongLong()));
        insert.bindValue(QStringLiteral(":folderId"),
                         atLeast(row.value(QStringLiteral("hot_folder_id")), 0));
        insert.bindValue(QStringLiteral(":folderName"), folder);
        insert.bindValue(QStringLiteral(":time"), time);
        if (!run(insert, error))
            return false;
        ++count;
    }
    if (transaction && !transaction->commit())
        return false;
    *inserted = count;
    return true;
}
