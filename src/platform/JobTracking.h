#pragma once

#include <QHash>
#include <QString>

#include <functional>

// The jobs this program hands to the scheduler: told as each is made, and
// asked about afterwards, so that whoever must know whether a file went out
// (a print that may be cut short by a kill) can find out.
namespace Platform {

// Called on this thread for every job it makes, as soon as the scheduler
// has the job and before any of its data is sent. Scopes nest: the inner
// handler is called first, then the outer ones. The guard puts the earlier
// one back.
using JobCreatedHandler = std::function<void(const QString &printer, int jobId)>;
class JobCreatedScope
{
public:
    explicit JobCreatedScope(JobCreatedHandler handler);
    ~JobCreatedScope();
    JobCreatedScope(const JobCreatedScope &) = delete;
    JobCreatedScope &operator=(const JobCreatedScope &) = delete;

private:
    JobCreatedHandler m_previous;
};
// For the spooler's own code: tells the thread's handler.
void reportJobCreated(const QString &printer, int jobId);

// A job's state as the scheduler keeps it (IPP job-state).
enum class JobState {
    Unknown = 0,  // the scheduler did not answer, or knows no such job
    Pending = 3,
    Held = 4,
    Processing = 5,
    Stopped = 6,
    Canceled = 7,
    Aborted = 8,
    Completed = 9,
};

struct JobStatus
{
    JobState state = JobState::Unknown;
    QString reasons;        // job-state-reasons, comma-separated
    QString printerMessage; // the printer's own words (printer-state-message)
};

// Asks the scheduler about one job. False when it cannot answer (ErrorServerUnavailable) or
// has no such job (ErrorFileNotFound).
bool jobStatus(const QString &printer, int jobId, JobStatus *status);

// Why a job is where it is: the printer's own words, else the job's state
// reasons; empty when the scheduler gave neither.
QString jobReason(const JobStatus &status);

// A job's end as this program reports it: state "completed", "aborted" or
// "canceled", and for the last two the failure ("Failed at the printer:
// <the printer's message>"). False while the job has not ended.
bool jobEnd(const JobStatus &status, QString *state, QString *failure);

// The states of several jobs of one printer, with one request: each job
// asked about (the keys) gets its state, Unknown when the scheduler no longer
// knows it. False when the scheduler did not answer.
bool jobStates(const QString &printer, QHash<int, JobStatus> *jobs);

// Whether a job made by a run that was cut short reached the scheduler
// whole: it prints, or did (WentOut). One still waiting for the rest of its
// data never will: it is cancelled (NotOut). NotOut too when the scheduler
// does not know the job, or it was cancelled or aborted; NoAnswer when the
// scheduler could not be asked, to ask again later.
enum class JobOutcome { WentOut, NotOut, NoAnswer };
JobOutcome jobWentOut(const QString &printer, int jobId);

// The newest job of this user's on the printer with the given title made at
// or after the given time (seconds since the epoch): a job another program
// made for us (a print dialog's). 0 when there is none.
int findJob(const QString &printer, const QString &title, qint64 createdSince);

// Cancels one job of this user's; false when the scheduler would not.
bool cancelJob(const QString &printer, int jobId);

} // namespace Platform
