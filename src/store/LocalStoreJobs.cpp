// The jobs this program sent, followed at the printer: their ends, kept
// with the history, and the notes that carry a job across a restart.

#include "store/LocalStore.h"
#include "store/StoreSql.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace StoreSql;

namespace {

// The sent notes are written without waiting for the disk. What they guard
// against is the program being killed or closed, which such a write
// survives; a power cut may lose the last of them, and then a file prints
// again rather than not at all. A disk sync per file would slow every batch.
class QuickWrites
{
public:
    explicit QuickWrites(QSqlDatabase db)
        : m_db(db)
    {
        QSqlQuery query(m_db);
        if (query.exec(QStringLiteral("PRAGMA synchronous")) && query.next())
            m_previous = query.value(0).toInt();
        query.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    }
    ~QuickWrites()
    {
        if (m_previous >= 0)
            QSqlQuery(m_db).exec(QStringLiteral("PRAGMA synchronous=%1").arg(m_previous));
    }
    QuickWrites(const QuickWrites &) = delete;
    QuickWrites &operator=(const QuickWrites &) = delete;

private:
    QSqlDatabase m_db;
    int m_previous = -1;
};

QString recordText(const PrintedFile &printed)
{
    const QJsonObject record{{QStringLiteral("printer"), printed.printerName},
                             {QStringLiteral("duplex"), printed.duplex},
                             {QStringLiteral("color"), printed.color},
                             {QStringLiteral("historyPath"), printed.historyPath},
                             {QStringLiteral("copies"), printed.copies},
                             {QStringLiteral("hotFolderId"), printed.hotFolderId},
                             {QStringLiteral("hotFolderName"), printed.hotFolderName},
                             {QStringLiteral("displayName"), printed.displayName}};
    return QString::fromUtf8(QJsonDocument(record).toJson(QJsonDocument::Compact));
}

PrintedFile printedFromRecord(const QString &rowPath, const QString &text)
{
    const QJsonObject record = QJsonDocument::fromJson(text.toUtf8()).object();
    PrintedFile printed;
    printed.rowPath = rowPath;
    printed.printerName = record.value(QStringLiteral("printer")).toString();
    printed.duplex = record.value(QStringLiteral("duplex")).toBool();
    printed.color = record.value(QStringLiteral("color")).toBool();
    printed.historyPath = record.value(QStringLiteral("historyPath")).toString(rowPath);
    printed.copies = std::max(record.value(QStringLiteral("copies")).toInt(1), 1);
    printed.hotFolderId = record.value(QStringLiteral("hotFolderId")).toInt();
    printed.hotFolderName = record.value(QStringLiteral("hotFolderName")).toString();
    printed.displayName = record.value(QStringLiteral("displayName")).toString();
    return printed;
}

} // namespace

bool LocalStore::recordJobEnd(qint64 historyId, const QString &printer, int jobId, const QString &state,
                              const QString &message, QString *error)
{
    Transaction transaction(m_db, error);
    if (!transaction.isOpen())
        return false;
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO print_job_ends (history_id,printer_name,job_id,state,"
                                 "message,ended_at) VALUES (:id,:printer,:job,:state,:message,:time)"));
    query.bindValue(QStringLiteral(":id"), historyId);
    query.bindValue(QStringLiteral(":printer"), printer);
    query.bindValue(QStringLiteral(":job"), jobId);
    query.bindValue(QStringLiteral(":state"), state);
    query.bindValue(QStringLiteral(":message"), message);
    query.bindValue(QStringLiteral(":time"), timestamp());
    if (!run(query, error))
        return false;
    // The job has nothing left to follow.
    QSqlQuery sent(m_db);
    sent.prepare(QStringLiteral("DELETE FROM print_sent_jobs WHERE history_id=:id"));
    sent.bindValue(QStringLiteral(":id"), historyId);
    sent.exec();
    return transaction.commit();
}

QHash<qint64, QVariantMap> LocalStore::jobEnds() const
{
    QHash<qint64, QVariantMap> ends;
    if (!isOpen())
        return ends;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT history_id,printer_name,job_id,state,message,ended_at FROM print_job_ends")))
        return ends;
    while (query.next()) {
        ends.insert(query.value(0).toLongLong(), {{QStringLiteral("printer_name"), query.value(1)},
                                                  {QStringLiteral("job_id"), query.value(2)},
                                                  {QStringLiteral("state"), query.value(3)},
                                                  {QStringLiteral("message"), query.value(4)},
                                                  {QStringLiteral("ended_at"), query.value(5)}});
    }
    return ends;
}

bool LocalStore::noteSending(const PrintedFile &printed, QString *error)
{
    const QuickWrites quick(m_db);
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO print_sent_jobs (path,printer_name,job_id,history_id,"
                                 "record,sent_at) VALUES (:path,:printer,0,0,:record,:time)"));
    query.bindValue(QStringLiteral(":path"), normalizedPath(printed.rowPath));
    query.bindValue(QStringLiteral(":printer"), printed.printerName);
    query.bindValue(QStringLiteral(":record"), recordText(printed));
    query.bindValue(QStringLiteral(":time"), timestamp());
    return run(query, error);
}

bool LocalStore::noteSentJob(const QString &rowPath, const QString &printer, int jobId, QString *error)
{
    const QuickWrites quick(m_db);
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("UPDATE print_sent_jobs SET printer_name=:printer,job_id=:job WHERE path=:path"));
    query.bindValue(QStringLiteral(":printer"), printer);
    query.bindValue(QStringLiteral(":job"), jobId);
    query.bindValue(QStringLiteral(":path"), normalizedPath(rowPath));
    return run(query, error);
}

bool LocalStore::forgetSentJob(const QString &rowPath, QString *error)
{
    const QuickWrites quick(m_db);
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("DELETE FROM print_sent_jobs WHERE path=:path"));
    query.bindValue(QStringLiteral(":path"), normalizedPath(rowPath));
    return run(query, error);
}

bool LocalStore::forgetSentJob(const QString &rowPath, qint64 historyId, QString *error)
{
    const QuickWrites quick(m_db);
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("DELETE FROM print_sent_jobs WHERE path=:path AND history_id=:id"));
    query.bindValue(QStringLiteral(":path"), normalizedPath(rowPath));
    query.bindValue(QStringLiteral(":id"), historyId);
    return run(query, error);
}

// Inside recordPrinted's transaction: a note with a job follows it on; one
// without never made a job worth following. Best-effort, as the table is.
void LocalStore::linkSentJob(const QString &rowPath, qint64 historyId)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("UPDATE print_sent_jobs SET history_id=:id WHERE path=:path AND job_id>0"));
    query.bindValue(QStringLiteral(":id"), historyId);
    query.bindValue(QStringLiteral(":path"), normalizedPath(rowPath));
    query.exec();
    query.prepare(QStringLiteral("DELETE FROM print_sent_jobs WHERE path=:path AND job_id<=0"));
    query.bindValue(QStringLiteral(":path"), normalizedPath(rowPath));
    query.exec();
}

QList<SentJob> LocalStore::sentJobs() const
{
    QList<SentJob> jobs;
    if (!isOpen())
        return jobs;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT path,printer_name,job_id,history_id,record FROM print_sent_jobs "
                                   "ORDER BY sent_at")))
        return jobs;
    while (query.next()) {
        SentJob job;
        job.printed = printedFromRecord(query.value(0).toString(), query.value(4).toString());
        job.printer = query.value(1).toString();
        job.jobId = query.value(2).toInt();
        job.historyId = query.value(3).toLongLong();
        jobs << job;
    }
    return jobs;
}
