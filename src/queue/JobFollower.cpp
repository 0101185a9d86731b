#include "queue/JobFollower.h"

#include "store/LocalStore.h"

#include <QFutureWatcher>
#include <QtConcurrent>

namespace {

// A job the scheduler no longer knows for this many rounds has gone
// (purged, or the scheduler lost it): its end cannot be known.
constexpr int kRoundsUnknown = 3;
constexpr int kRoundMs = 1000;

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
    if (!m_timer.isActive())
        m_timer.start();
}

bool JobFollower::isWaiting(const QString &path) const
{
    return std::any_of(m_jobs.cbegin(), m_jobs.cend(), [&path](const Job &job) { return job.path == path; });
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
                const QString path = it->path;
                it = m_jobs.erase(it);
                Q_EMIT jobEnded(path, QString(), QString());
                continue;
            }
            ++it;
            continue;
        }
        if (!Platform::jobEnd(status, &state, &failure)) {
            ++it;
            continue;
        }
        const Job job = *it;
        it = m_jobs.erase(it);
        m_unknownRounds.remove(job.jobId);
        m_store->recordJobEnd(job.historyId, job.printer, job.jobId, state, failure);
        if (!failure.isEmpty())
            m_store->markFailed(job.path, failure);
        Q_EMIT jobEnded(job.path, state, failure);
    }
    if (m_jobs.isEmpty())
        m_timer.stop();
}
