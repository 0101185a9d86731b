#pragma once

#include "platform/JobTracking.h"
#include "store/QueueRecords.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class LocalStore;

// Follows the jobs a batch sent until the printer is done with each: one
// request per printer per round, asked on a worker thread. A job that ends
// other than completed fails its row with the printer's reason; every end
// is kept with its history record.
class JobFollower : public QObject
{
    Q_OBJECT
public:
    struct Job
    {
        QString path; // the row; empty for a job of no row (a form's)
        qint64 historyId = 0; // 0: no history record to keep its end with
        QString printer;
        int jobId = 0;
        QString label; // names it in messages; the file's name when empty
        QString reason = {}; // why it waits, as last told
    };

    explicit JobFollower(LocalStore *store, QObject *parent = nullptr);
    ~JobFollower() override;

    void follow(const Job &job);
    // Picks up the jobs a window closed or killed earlier left: a recorded
    // print's job is followed again; a job made but not recorded is
    // recorded and followed when it reached the scheduler whole, and is
    // otherwise forgotten, its row still to print.
    void resume();
    // A job a print dialog made (its id is not told): found by its title
    // among this user's jobs on the printer made since the time given
    // (seconds since the epoch), then followed.
    void findAndFollow(const QString &printer, const QString &title, qint64 createdSince, const QString &label);
    // The row's job was sent and has not ended yet (or is being settled).
    bool isWaiting(const QString &path) const;
    bool isSettling() const { return !m_unsettled.isEmpty(); }
    // The row's job, made before the program last ended, is being looked for.
    bool isBeingSettled(const QString &path) const;
    int waitingCount() const { return int(m_jobs.size()); }

Q_SIGNALS:
    // state: "completed", "aborted", "canceled"; failure empty when
    // completed. Both empty when the scheduler forgot the job unended.
    void jobEnded(const QString &path, const QString &state, const QString &failure, const QString &label);
    // A job is held or stopped at the printer, for this reason.
    void jobWaiting(const QString &label, const QString &reason);
    // A row resume() took up or settled: drawn again.
    void rowResumed(const QString &path);

private:
    using Answers = QHash<QString, QHash<int, Platform::JobStatus>>;
    void ask();
    void settle(const Answers &answers);
    void askAboutUnsettled();
    void settleResumed(const QList<Platform::JobOutcome> &outcomes);
    void forgetRow(const QString &path);
    void tellWhyWaiting(Job *job, const Platform::JobStatus &status);

    LocalStore *m_store;
    QList<Job> m_jobs;
    QHash<QString, int> m_waitingRows; // jobs followed by row: the table asks for every row
    QList<SentJob> m_unsettled;
    QHash<int, int> m_unknownRounds; // by job id
    QTimer m_timer;
    bool m_asking = false;
};
