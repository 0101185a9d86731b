#pragma once

#include "platform/JobTracking.h"

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
        QString path; // the row
        qint64 historyId = 0;
        QString printer;
        int jobId = 0;
    };

    explicit JobFollower(LocalStore *store, QObject *parent = nullptr);
    ~JobFollower() override;

    void follow(const Job &job);
    // The row's job was sent and has not ended yet.
    bool isWaiting(const QString &path) const;
    int waitingCount() const { return int(m_jobs.size()); }

Q_SIGNALS:
    // state: "completed", "aborted", "canceled"; failure empty when completed.
    void jobEnded(const QString &path, const QString &state, const QString &failure);

private:
    using Answers = QHash<QString, QHash<int, Platform::JobStatus>>;
    void ask();
    void settle(const Answers &answers);

    LocalStore *m_store;
    QList<Job> m_jobs;
    QHash<int, int> m_unknownRounds; // by job id
    QTimer m_timer;
    bool m_asking = false;
};
