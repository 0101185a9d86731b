#include "cli/JobWait.h"

#include "cli/StopSignals.h"
#include "platform/JobTracking.h"
#include "store/LocalStore.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QThread>

#include <algorithm>

namespace PrintCommand {

namespace {

using Platform::JobState;
using Platform::JobStatus;

// A job the scheduler no longer knows for this many rounds has gone
// (purged, or the scheduler lost it): its end cannot be known.
constexpr int kRoundsUnknown = 3;

// The file's state once its job ended; false while it has not.
bool settle(FileResult *file, const JobStatus &status, LocalStore &store)
{
    QString failure;
    if (!Platform::jobEnd(status, &file->state, &failure))
        return false;
    if (file->historyId > 0)
        store.recordJobEnd(file->historyId, file->jobPrinter, file->jobId, file->state, failure);
    if (!failure.isEmpty()) {
        file->success = false;
        file->message = failure;
    }
    return true;
}

void giveUp(FileResult *file, const JobStatus &last, int timeoutSeconds, bool stopped)
{
    file->success = false;
    const QString reason = Platform::jobReason(last);
    // A job the printer stopped, or one waiting in a stopped queue.
    if (last.state == JobState::Stopped || last.reasons.contains(QLatin1String("printer-stopped"))) {
        file->state = QStringLiteral("stopped");
        file->message = QStringLiteral("Stopped at the printer")
            + (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason);
        return;
    }
    file->state = QStringLiteral("timeout");
    if (stopped)
        file->message = QStringLiteral("Stopped waiting for the job to end");
    else if (last.state == JobState::Unknown)
        file->message = QStringLiteral("The print service no longer knows the job");
    else
        file->message = QStringLiteral("The job did not end within %1 s").arg(timeoutSeconds)
            + (reason.isEmpty() ? QString() : QStringLiteral(" (") + reason + QLatin1Char(')'));
}

} // namespace

void waitForJobEnds(QList<FileResult> *files, int timeoutSeconds, LocalStore &store)
{
    QList<int> open;
    for (int i = 0; i < files->size(); ++i) {
        if (files->at(i).jobId > 0 && files->at(i).state.isEmpty())
            open << i;
    }
    QHash<int, JobStatus> last;
    QHash<int, int> unknownRounds;
    const QDeadlineTimer deadline(qint64(timeoutSeconds) * 1000);
    int pauseMs = 250;
    while (!open.isEmpty() && !deadline.hasExpired() && !stopRequested()) {
        QHash<QString, QHash<int, JobStatus>> byPrinter;
        for (const int i : open)
            byPrinter[files->at(i).jobPrinter].insert(files->at(i).jobId, JobStatus());
        for (auto it = byPrinter.begin(); it != byPrinter.end(); ++it) {
            if (!Platform::jobStates(it.key(), &it.value()))
                continue; // the scheduler did not answer: asked again next round
            for (const int i : std::as_const(open)) {
                FileResult &file = (*files)[i];
                if (file.jobPrinter != it.key())
                    continue;
                const JobStatus status = it.value().value(file.jobId);
                if (status.state == JobState::Unknown && ++unknownRounds[i] < kRoundsUnknown)
                    continue;
                last.insert(i, status);
            }
        }
        open.erase(std::remove_if(open.begin(), open.end(),
                                  [&](int i) {
                                      const JobStatus status = last.value(i);
                                      return settle(&(*files)[i], status, store)
                                          || (status.state == JobState::Unknown
                                              && unknownRounds.value(i) >= kRoundsUnknown);
                                  }),
                   open.end());
        if (open.isEmpty())
            break;
        QThread::msleep(ulong(std::min<qint64>(pauseMs, std::max<qint64>(deadline.remainingTime(), 0))));
        pauseMs = std::min(pauseMs * 2, 2000);
    }
    for (int i = 0; i < files->size(); ++i) {
        FileResult &file = (*files)[i];
        if (file.jobId > 0 && file.state.isEmpty())
            giveUp(&file, last.value(i), timeoutSeconds, stopRequested() && !deadline.hasExpired());
    }
}

} // namespace PrintCommand
