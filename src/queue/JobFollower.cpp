#include "queue/JobFollower.h"

#include "store/LocalStore.h"

#include <QFileInfo>
#include <QFutureWatcher>
#include <QtConcurrent>

namespace {

// A job the scheduler no longer knows for this many rounds has gone
// (purged, or the scheduler lost it): its end cannot be known.
constexpr int kRoundsUnknown = 3;
constexpr int kRoundMs = 1000;

QString labelOf(const JobFollower::Job &job)
{
    return job.label.isEmpty() ? QFileInfo(job.path).fileName() : job.label;
}

} // namespace

JobFollower::JobFollower(LocalStore *store, QObject *parent)
    : QObject(parent)
    , m_store(store)
{
    m_timer.setInterval(kRoundMs);
    connect(&m_timer, &QTimer::timeout, this, &JobFollower::ask);
}

JobFollower::~JobFollower() = default;

void JobFollower::follow(const Job &job)
{
    if (job.jobId <= 0)
        return;
    m_jobs << job;
    ++m_waitingRows[job.path];
    if (!m_timer.isActive())
        m_timer.start();
}

void JobFollower::resume()
{
    if (!m_unsettled.isEmpty())
        return;
    QStringList rows;
    for (const SentJob &sent : m_store->sentJobs()) {
        if (sent.historyId > 0)
            follow({sent.printed.rowPath, sent.historyId, sent.printer, sent.jobId, QString()});
        else if (sent.jobId > 0)
            m_unsettled << sent;
        else // cut short before the scheduler made a job
            m_store->forgetSentJob(sent.printed.rowPath);
        rows << sent.printed.rowPath;
    }
    // Told once all are taken up: the window may act on each.
    for (const QString &row : std::as_const(rows))
        Q_EMIT rowResumed(row);
    askAboutUnsettled();
}

void JobFollower::askAboutUnsettled()
{
    if (m_unsettled.isEmpty())
        return;
    using Outcomes = QList<Platform::JobOutcome>;
    auto *watcher = new QFutureWatcher<Outcomes>(this);
    connect(watcher, &QFutureWatcher<Outcomes>::finished, this, [this, watcher] {
        settleResumed(watcher->result());
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run([jobs = m_unsettled] {
        Outcomes outcomes;
        for (const SentJob &sent : jobs)
            outcomes << Platform::jobWentOut(sent.printer, sent.jobId);
        return outcomes;
    }));
}

void JobFollower::settleResumed(const QList<Platform::JobOutcome> &outcomes)
{
    using Platform::JobOutcome;
    const QList<SentJob> asked = std::exchange(m_unsettled, {});
    for (qsizetype i = 0; i < asked.size(); ++i) {
        const SentJob &sent = asked.at(i);
        const JobOutcome outcome = outcomes.value(i, JobOutcome::NoAnswer);
        qint64 historyId = 0;
        if (outcome == JobOutcome::NoAnswer) {
            m_unsettled << sent; // asked again shortly; the row waits
            continue;
        }
        // How many pages it had is not known here: the history counts one.
        if (outcome == JobOutcome::WentOut && m_store->recordPrinted(sent.printed, nullptr, &historyId))
            follow({sent.printed.rowPath, historyId, sent.printer, sent.jobId, QString()});
        else if (outcome == JobOutcome::NotOut)
            m_store->forgetSentJob(sent.printed.rowPath);
        Q_EMIT rowResumed(sent.printed.rowPath);
    }
    if (!m_unsettled.isEmpty())
        QTimer::singleShot(kRoundMs, this, &JobFollower::askAboutUnsettled);
}

void JobFollower::findAndFollow(const QString &printer, const QString &title, qint64 createdSince,
                                const QString &label)
{
    auto *watcher = new QFutureWatcher<int>(this);
    connect(watcher, &QFutureWatcher<int>::finished, this, [this, watcher, printer, label] {
        follow({QString(), 0, printer, watcher->result(), label});
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run(
        [printer, title, createdSince] { return Platform::findJob(printer, title, createdSince); }));
}

bool JobFollower::isWaiting(const QString &path) const
{
    if (path.isEmpty())
        return false;
    return m_waitingRows.contains(path) || isBeingSettled(path);
}

bool JobFollower::isBeingSettled(const QString &path) const
{
    return std::any_of(m_unsettled.cbegin(), m_unsettled.cend(),
                       [&path](const SentJob &sent) { return sent.printed.rowPath == path; });
}

void JobFollower::forgetRow(const QString &path)
{
    const auto row = m_waitingRows.find(path);
    if (row != m_waitingRows.end() && --row.value() <= 0)
        m_waitingRows.erase(row);
}

void JobFollower::ask()
{
    if (m_asking || m_jobs.isEmpty())
        return;
    Answers asked;
    for (const Job &job : std::as_const(m_jobs))
        asked[job.printer].insert(job.jobId, Platform::JobStatus());
    m_asking = true;
    auto *watcher = new QFutureWatcher<Answers>(this);
    connect(watcher, &QFutureWatcher<Answers>::finished, this, [this, watcher] {
        m_asking = false;
        settle(watcher->result());
        watcher->deleteLater();
    });
    // The scheduler may be slow or remote: never asked on the window's thread.
    watcher->setFuture(QtConcurrent::run([asked]() mutable {
        Answers answered;
        for (auto it = asked.begin(); it != asked.end(); ++it) {
            if (Platform::jobStates(it.key(), &it.value()))
                answered.insert(it.key(), it.value());
        }
        return answered;
    }));
}

// A job held or stopped at the printer is told once per reason; a printing
// job's progress messages are not.
void JobFollower::tellWhyWaiting(Job *job, const Platform::JobStatus &status)
{
    using Platform::JobState;
    const QString reason = Platform::jobReason(status);
    const bool held = status.state == JobState::Held || status.state == JobState::Stopped
        || (status.state == JobState::Pending && !reason.isEmpty());
    if (!held || reason.isEmpty() || reason == job->reason)
        return;
    job->reason = reason;
    Q_EMIT jobWaiting(labelOf(*job), reason);
}

void JobFollower::settle(const Answers &answers)
{
    for (auto it = m_jobs.begin(); it != m_jobs.end();) {
        const auto printer = answers.constFind(it->printer);
        if (printer == answers.cend()) { // not answered: asked again next round
            ++it;
            continue;
        }
        const Platform::JobStatus status = printer->value(it->jobId);
        QString state;
        QString failure;
        if (status.state == Platform::JobState::Unknown) {
            if (++m_unknownRounds[it->jobId] >= kRoundsUnknown) {
                m_unknownRounds.remove(it->jobId);
                const Job job = *it;
                it = m_jobs.erase(it);
                forgetRow(job.path);
                // Its end cannot be known: nothing is left to follow.
                if (job.historyId > 0)
                    m_store->forgetSentJob(job.path, job.historyId);
                Q_EMIT jobEnded(job.path, QString(), QString(), labelOf(job));
                continue;
            }
            ++it;
            continue;
        }
        if (!Platform::jobEnd(status, &state, &failure)) {
            tellWhyWaiting(&*it, status);
            ++it;
            continue;
        }
        const Job job = *it;
        it = m_jobs.erase(it);
        forgetRow(job.path);
        m_unknownRounds.remove(job.jobId);
        if (job.historyId > 0)
            m_store->recordJobEnd(job.historyId, job.printer, job.jobId, state, failure);
        if (!failure.isEmpty() && !job.path.isEmpty())
            m_store->markFailed(job.path, failure);
        Q_EMIT jobEnded(job.path, state, failure, labelOf(job));
    }
    if (m_jobs.isEmpty())
        m_timer.stop();
}
