#pragma once

#include "store/QueueRecords.h"

#include <QSqlDatabase>
#include <QHash>
#include <QString>
#include <QStringList>

// The one access layer to the program's SQLite database. Every statement of
// the program runs through a LocalStore, on the thread that owns it.
class LocalStore
{
public:
    LocalStore();
    ~LocalStore();

    LocalStore(const LocalStore &) = delete;
    LocalStore &operator=(const LocalStore &) = delete;

    // Creates the data folder and the database file when missing, applies the
    // schema and upgrades an older file in place.
    bool open(QString *error = nullptr);

    bool execStatement(const QString &sql, QString *error = nullptr);

    // Groups many writes into one commit (one disk sync instead of one per
    // row). A statement that fails inside still fails alone.
    bool beginTransaction(QString *error = nullptr);
    bool commitTransaction(QString *error = nullptr);
    void rollbackTransaction();

    // Hot folders
    bool addHotFolder(const HotFolderPreset &preset, QString *error = nullptr);
    bool updateHotFolder(int id, const HotFolderPreset &preset, QString *error = nullptr);
    bool deleteHotFolder(int id, QString *error = nullptr);
    bool setFolderCopies(int hotFolderId, int copies, QString *error = nullptr);
    bool clearFolder(int hotFolderId, QString *error = nullptr);
    HotFolder hotFolder(int id) const;
    QVariantList hotFolders() const;

    // Print-list rows. Adding a path that is in any list moves that row to
    // the end of the given list and resets it to pending.
    bool addFile(const QString &path, int hotFolderId, const RowSettings &settings,
                 QString *error = nullptr);
    bool addCacheJob(const CacheJobRecord &job, int hotFolderId, const RowSettings &settings,
                     QString *error = nullptr);
    bool removeFile(const QString &path, QString *error = nullptr);
    bool removeCacheJobs(const QString &cachePath, QString *error = nullptr);
    bool markPrinted(const QString &path, const QString &printerName, bool duplex, bool color,
                     int copies, QString *error = nullptr);
    // Marks the row printed and adds its history record in one transaction:
    // a print is recorded whole or not at all. A sent job noted for the row
    // is joined to the record.
    // historyId: the history row it added.
    bool recordPrinted(const PrintedFile &printed, QString *error = nullptr, qint64 *historyId = nullptr);

    // Jobs at the printer. The end of a recorded print's job ("completed",
    // "aborted", "canceled") and its failure text, kept with the history
    // row, which ends the job's sent note; the ends by history row (maps of
    // printer_name, job_id, state, message, ended_at).
    bool recordJobEnd(qint64 historyId, const QString &printer, int jobId, const QString &state,
                      const QString &message, QString *error = nullptr);
    QHash<qint64, QVariantMap> jobEnds() const;
    // Sent notes, one per row path: noted before the job is made, given the
    // job once the scheduler has it, forgotten when the print failed or its
    // job ended.
    bool noteSending(const PrintedFile &printed, QString *error = nullptr);
    bool noteSentJob(const QString &rowPath, const QString &printer, int jobId, QString *error = nullptr);
    bool forgetSentJob(const QString &rowPath, QString *error = nullptr);
    // Only the note of this recorded print (the row may have been sent again).
    bool forgetSentJob(const QString &rowPath, qint64 historyId, QString *error = nullptr);
    QList<SentJob> sentJobs() const;
    bool markFailed(const QString &path, const QString &message, QString *error = nullptr);
    // One row's copies, as its copies box was set.
    bool setFileCopies(const QString &path, int copies, QString *error = nullptr);
    bool saveOrder(int hotFolderId, const QStringList &paths, QString *error = nullptr);
    QVariantList files(int hotFolderId) const;
    // One row as files() has it; empty when no list holds the path.
    QueueEntry file(const QString &path) const;

    // Print history: one row per successful print, kept forever.
    bool addHistory(const QString &path, const QString &printerName, int pageCount, int copies,
                    int hotFolderId, const QString &hotFolderName, const QString &displayName,
                    QString *error = nullptr, qint64 *historyId = nullptr);
    QVariantList recentHistory(int limit) const;
    // A separate SQLite file with backup_meta and a copy of print_history;
    // nothing is left at the target when it fails.
    bool exportHistory(const QString &targetPath, QString *error = nullptr);
    // Merges such a file into the history, skipping rows already present;
    // all new rows or none.
    bool importHistory(const QString &sourcePath, int *imported, int *skipped,
                       QString *error = nullptr);
    bool importHistoryRows(const QVariantList &rows, int *inserted, QString *error = nullptr);

    // Form templates: the designer's layouts, most recently saved first.
    // Paper sides are clamped to 30..2000 mm; an id below 1 inserts.
    bool saveTemplate(int id, const QString &name, double widthMm, double heightMm,
                      const QString &layoutJson, int *savedId = nullptr, QString *error = nullptr);
    QVariantMap formTemplate(int id) const;
    QVariantList formTemplates() const;
    bool deleteTemplate(int id, QString *error = nullptr);

    QString connectionName() const { return m_connectionName; }
    QString databasePath() const { return m_databasePath; }
    bool isOpen() const { return m_db.isValid() && m_db.isOpen(); }

    // The key under which a file is stored: absolute, native separators.
    static QString normalizedPath(const QString &path);
    // Local time, ISO 8601 with milliseconds and no zone.
    static QString timestamp();

    static QString databaseFileName();

private:
    bool isActiveDatabase(const QString &path) const;
    int nextSortOrder(int hotFolderId) const;
    bool applySchema(QString *error);
    void linkSentJob(const QString &rowPath, qint64 historyId);
    bool addMissingColumns(const QString &table,
                           const QList<QPair<QString, QString>> &columns,
                           QString *error);

    QString m_connectionName;
    QString m_databasePath;
    QSqlDatabase m_db;
};
