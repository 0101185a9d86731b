// Print-list rows and hot-folder presets.

#include "store/LocalStore.h"
#include "store/StoreSql.h"

#include <QFileInfo>

#include <algorithm>

using namespace StoreSql;

namespace {

int clampDuplexMode(int mode)
{
    return std::clamp(mode, 0, 2);
}

int clampCopies(int copies)
{
    return std::clamp(copies, 1, 9999);
}

QString paperOrA4(const QString &paperKey)
{
    return paperKey.trimmed().isEmpty() ? QStringLiteral("A4") : paperKey;
}

void bindRowSettings(QSqlQuery &query, const RowSettings &settings)
{
    const int mode = clampDuplexMode(settings.duplexMode);
    query.bindValue(QStringLiteral(":printer"), settings.printerName);
    query.bindValue(QStringLiteral(":isDuplex"), mode > 0);
    query.bindValue(QStringLiteral(":duplex"), mode);
    query.bindValue(QStringLiteral(":color"), settings.color);
    query.bindValue(QStringLiteral(":paper"), paperOrA4(settings.paperKey));
    query.bindValue(QStringLiteral(":copies"), clampCopies(settings.copies));
}

void bindPreset(QSqlQuery &query, const HotFolderPreset &preset)
{
    query.bindValue(QStringLiteral(":name"), preset.name.trimmed());
    query.bindValue(QStringLiteral(":printer"), preset.printerName);
    query.bindValue(QStringLiteral(":duplex"), clampDuplexMode(preset.duplexMode));
    query.bindValue(QStringLiteral(":color"), preset.color);
    query.bindValue(QStringLiteral(":paper"), paperOrA4(preset.paperKey));
    query.bindValue(QStringLiteral(":tabColor"), preset.tabColor);
}

const char kHotFolderColumns[] =
    "SELECT id,name,printer_name,duplex_mode,color,paper_size,copies,tab_color FROM hot_folders";

} // namespace

bool LocalStore::addHotFolder(const HotFolderPreset &preset, QString *error)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral(
        "INSERT INTO hot_folders(name,printer_name,duplex_mode,color,paper_size,tab_color,"
        "created_at) VALUES(:name,:printer,:duplex,:color,:paper,:tabColor,:time)"));
    bindPreset(query, preset);
    query.bindValue(QStringLiteral(":time"), timestamp());
    return run(query, error);
}

bool LocalStore::updateHotFolder(int id, const HotFolderPreset &preset, QString *error)
{
    Transaction transaction(m_db, error);
    if (!transaction.isOpen())
        return false;

    QSqlQuery folder(m_db);
    folder.prepare(QStringLiteral(
        "UPDATE hot_folders SET name=:name,printer_name=:printer,duplex_mode=:duplex,"
        "color=:color,paper_size=:paper,tab_color=:tabColor WHERE id=:id"));
    bindPreset(folder, preset);
    folder.bindValue(QStringLiteral(":id"), id);
    if (!run(folder, error))
        return false;

    // The folder's files take the new preset; copies stay per row.
    const int mode = clampDuplexMode(preset.duplexMode);
    QSqlQuery rows(m_db);
    rows.prepare(QStringLiteral(
        "UPDATE print_files SET printer_name=:printer,duplex=:isDuplex,duplex_mode=:duplex,"
        "color=:color,paper_size=:paper WHERE hot_folder_id=:id AND task_type<>'cache'"));
    rows.bindValue(QStringLiteral(":printer"), preset.printerName);
    rows.bindValue(QStringLiteral(":isDuplex"), mode > 0);
    rows.bindValue(QStringLiteral(":duplex"), mode);
    rows.bindValue(QStringLiteral(":color"), preset.color);
    rows.bindValue(QStringLiteral(":paper"), paperOrA4(preset.paperKey));
    rows.bindValue(QStringLiteral(":id"), id);
    if (!run(rows, error))
        return false;

    // Imported caches were built for the old preset: they leave the list
    // (their files stay on disk).
    QSqlQuery caches(m_db);
    caches.prepare(QStringLiteral(
        "DELETE FROM print_files WHERE hot_folder_id=:id AND task_type='cache'"));
    caches.bindValue(QStringLiteral(":id"), id);
    if (!run(caches, error))
        return false;
    return transaction.commit();
}

bool LocalStore::deleteHotFolder(int id, QString *error)
{
    Transaction transaction(m_db, error);
    if (!transaction.isOpen())
        return false;
    const char *statements[] = {
        // File rows move to the normal queue with their settings and positions.
        "UPDATE print_files SET hot_folder_id=0 WHERE hot_folder_id=:id AND task_type<>'cache'",
        "DELETE FROM print_files WHERE hot_folder_id=:id AND task_type='cache'",
        "DELETE FROM hot_folders WHERE id=:id",
    };
    for (const char *sql : statements) {
        QSqlQuery query(m_db);
        query.prepare(QString::fromLatin1(sql));
        query.bindValue(QStringLiteral(":id"), id);
        if (!run(query, error))
            return false;
    }
    return transaction.commit();
}

bool LocalStore::setFolderCopies(int hotFolderId, int copies, QString *error)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("UPDATE print_files SET copies=:copies WHERE hot_folder_id=:folder"));
    query.bindValue(QStringLiteral(":copies"), clampCopies(copies));
    query.bindValue(QStringLiteral(":folder"), hotFolderId);
    return run(query, error);
}

bool LocalStore::setFileCopies(const QString &path, int copies, QString *error)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("UPDATE print_files SET copies=:copies WHERE path=:path"));
    query.bindValue(QStringLiteral(":copies"), clampCopies(copies));
    query.bindValue(QStringLiteral(":path"), normalizedPath(path));
    return run(query, error);
}

bool LocalStore::clearFolder(int hotFolderId, QString *error)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("DELETE FROM print_files WHERE hot_folder_id=:folder"));
    query.bindValue(QStringLiteral(":folder"), hotFolderId);
    return run(query, error);
}

HotFolder LocalStore::hotFolder(int id) const
{
    if (!isOpen())
        return {};
    QSqlQuery query(m_db);
    query.prepare(QString::fromLatin1(kHotFolderColumns) + QStringLiteral(" WHERE id=:id"));
    query.bindValue(QStringLiteral(":id"), id);
    if (!query.exec() || !query.next())
        return {};
    return rowToMap(query);
}

QVariantList LocalStore::hotFolders() const
{
    if (!isOpen())
        return {};
    QSqlQuery query(m_db);
    if (!query.exec(QString::fromLatin1(kHotFolderColumns) + QStringLiteral(" ORDER BY id")))
        return {};
    return allRows(query);
}

int LocalStore::nextSortOrder(int hotFolderId) const
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral(
        "SELECT COALESCE(MAX(sort_order),0)+1 FROM print_files WHERE hot_folder_id=:folder"));
    query.bindValue(QStringLiteral(":folder"), hotFolderId);
    if (!query.exec() || !query.next())
        return 1;
    return query.value(0).toInt();
}

bool LocalStore::addFile(const QString &path, int hotFolderId, const RowSettings &settings,
                         QString *error)
{
    const int sortOrder = nextSortOrder(hotFolderId);
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral(
        "INSERT INTO print_files(file_name,path,status,added_at,printer_name,duplex,duplex_mode,"
        "color,paper_size,copies,hot_folder_id,sort_order,task_type,cache_path,source_path,"
        "cached_page_count) VALUES(:name,:path,'pending',:time,:printer,:isDuplex,:duplex,:color,"
        ":paper,:copies,:folder,:sortOrder,'file',NULL,NULL,1) ON CONFLICT(path) DO UPDATE SET "
        "file_name=excluded.file_name,status='pending',last_error=NULL,"
        "printer_name=excluded.printer_name,duplex=excluded.duplex,"
        "duplex_mode=excluded.duplex_mode,color=excluded.color,paper_size=excluded.paper_size,"
        "copies=excluded.copies,hot_folder_id=excluded.hot_folder_id,"
        "sort_order=excluded.sort_order,task_type='file',cache_path=NULL,source_path=NULL,"
        "cached_page_count=1"));
    query.bindValue(QStringLiteral(":name"), QFileInfo(path).fileName());
    query.bindValue(QStringLiteral(":path"), normalizedPath(path));
    query.bindValue(QStringLiteral(":time"), timestamp());
    bindRowSettings(query, settings);
    query.bindValue(QStringLiteral(":folder"), hotFolderId);
    query.bindValue(QStringLiteral(":sortOrder"), sortOrder);
    return run(query, error);
}

bool LocalStore::addCacheJob(const CacheJobRecord &job, int hotFolderId,
                             const RowSettings &settings, QString *error)
{
    const int sortOrder = nextSortOrder(hotFolderId);
    const QString cachePath = normalizedPath(job.cachePath);
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral(
        "INSERT INTO print_files(file_name,path,status,added_at,printer_name,duplex,duplex_mode,"
        "color,paper_size,copies,hot_folder_id,sort_order,task_type,cache_path,source_path,"
        "cached_page_count) VALUES(:name,:path,'pending',:time,:printer,:isDuplex,:duplex,:color,"
        ":paper,:copies,:folder,:sortOrder,'cache',:cachePath,:sourcePath,:pageCount) ON "
        "CONFLICT(path) DO UPDATE SET file_name=excluded.file_name,status='pending',"
        "last_error=NULL,printer_name=excluded.printer_name,duplex=excluded.duplex,"
        "duplex_mode=excluded.duplex_mode,color=excluded.color,paper_size=excluded.paper_size,"
        "copies=excluded.copies,hot_folder_id=excluded.hot_folder_id,"
        "sort_order=excluded.sort_order,task_type='cache',cache_path=excluded.cache_path,"
        "source_path=excluded.source_path,cached_page_count=excluded.cached_page_count"));
    query.bindValue(QStringLiteral(":name"), job.displayName.trimmed().isEmpty()
                                                 ? QFileInfo(job.sourcePath).fileName()
                                                 : job.displayName);
    query.bindValue(QStringLiteral(":path"), cachePath);
    query.bindValue(QStringLiteral(":time"), timestamp());
    bindRowSettings(query, settings);
    query.bindValue(QStringLiteral(":folder"), hotFolderId);
    query.bindValue(QStringLiteral(":sortOrder"), sortOrder);
    query.bindValue(QStringLiteral(":cachePath"), cachePath);
    query.bindValue(QStringLiteral(":sourcePath"), normalizedPath(job.sourcePath));
    query.bindValue(QStringLiteral(":pageCount"), std::max(job.pageCount, 1));
    return run(query, error);
}

bool LocalStore::removeFile(const QString &path, QString *error)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("DELETE FROM print_files WHERE path=:path"));
    query.bindValue(QStringLiteral(":path"), normalizedPath(path));
    return run(query, error);
}

bool LocalStore::removeCacheJobs(const QString &cachePath, QString *error)
{
    QSqlQuery query(m_db);
    query.prepare(
        QStringLiteral("DELETE FROM print_files WHERE task_type='cache' AND cache_path=:path"));
    query.bindValue(QStringLiteral(":path"), normalizedPath(cachePath));
    return run(query, error);
}

bool LocalStore::markPrinted(const QString &path, const QString &printerName, bool duplex,
                             bool color, int copies, QString *error)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral(
        "UPDATE print_files SET status='printed',printed_at=:time,printer_name=:printer,"
        "duplex=:duplex,color=:color,copies=:copies,last_error=NULL WHERE path=:path"));
    query.bindValue(QStringLiteral(":time"), timestamp());
    query.bindValue(QStringLiteral(":printer"), printerName);
    query.bindValue(QStringLiteral(":duplex"), duplex);
    query.bindValue(QStringLiteral(":color"), color);
    query.bindValue(QStringLiteral(":copies"), copies);
    query.bindValue(QStringLiteral(":path"), normalizedPath(path));
    return run(query, error);
}

bool LocalStore::markFailed(const QString &path, const QString &message, QString *error)
{
    QSqlQuery query(m_db);
    query.prepare(
        QStringLiteral("UPDATE print_files SET status='failed',last_error=:message WHERE path=:path"));
    query.bindValue(QStringLiteral(":message"), message);
    query.bindValue(QStringLiteral(":path"), normalizedPath(path));
    return run(query, error);
}

bool LocalStore::saveOrder(int hotFolderId, const QStringList &paths, QString *error)
{
    Transaction transaction(m_db, error);
    if (!transaction.isOpen())
        return false;
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral(
        "UPDATE print_files SET sort_order=:sort WHERE hot_folder_id=:folder AND path=:path"));
    for (qsizetype i = 0; i < paths.size(); ++i) {
        query.bindValue(QStringLiteral(":sort"), int(i + 1));
        query.bindValue(QStringLiteral(":folder"), hotFolderId);
        query.bindValue(QStringLiteral(":path"), normalizedPath(paths.at(i)));
        if (!run(query, error))
            return false;
    }
    return transaction.commit();
}

namespace {

const char kFileColumns[] =
    "SELECT file_name,path,status,added_at,printed_at,printer_name,duplex,color,paper_size,"
    "copies,last_error,hot_folder_id,duplex_mode,task_type,cache_path,source_path,"
    "cached_page_count FROM print_files ";

} // namespace

QVariantList LocalStore::files(int hotFolderId) const
{
    if (!isOpen())
        return {};
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QLatin1String(kFileColumns)
                  + QStringLiteral("WHERE hot_folder_id=:folder ORDER BY sort_order,id"));
    query.bindValue(QStringLiteral(":folder"), hotFolderId);
    if (!query.exec())
        return {};
    return allRows(query);
}

QueueEntry LocalStore::file(const QString &path) const
{
    if (!isOpen())
        return {};
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QLatin1String(kFileColumns) + QStringLiteral("WHERE path=:path"));
    query.bindValue(QStringLiteral(":path"), normalizedPath(path));
    if (!query.exec())
        return {};
    const QVariantList rows = allRows(query);
    return rows.isEmpty() ? QueueEntry() : rows.first().toMap();
}
