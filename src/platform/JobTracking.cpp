#include "platform/JobTracking.h"

#include "platform/LastError.h"
#include "platform/SpoolerState.h"

#include <algorithm>

namespace Platform {

namespace {

thread_local JobCreatedHandler t_jobCreated;

QString joinedStrings(ipp_attribute_t *attribute)
{
    QStringList values;
    for (int i = 0; attribute && i < ippGetCount(attribute); ++i)
        values << QString::fromUtf8(ippGetString(attribute, i, nullptr));
    return values.join(QLatin1Char(','));
}

// The scheduler's address of a printer ("queue" or "queue/instance").
QByteArray printerUri(const QString &printer)
{
    const QByteArray queue = printer.section(QLatin1Char('/'), 0, 0).toUtf8();
    char uri[1024];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                     queue.constData());
    return uri;
}

// A Get-Jobs request for this user's jobs on a printer, ended ones included.
ipp_t *myJobsRequest(const QByteArray &uri, const char *const *wanted, int wantedCount)
{
    ipp_t *request = ippNewRequest(IPP_OP_GET_JOBS);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ippAddBoolean(request, IPP_TAG_OPERATION, "my-jobs", 1);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "all");
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", wantedCount, nullptr, wanted);
    return request;
}

// Walks a Get-Jobs answer one job at a time: each attribute goes to read,
// and jobDone follows every job (and the operation attributes before them).
template <typename Read, typename JobDone>
void readJobs(ipp_t *response, Read read, JobDone jobDone)
{
    for (ipp_attribute_t *attribute = response ? ippFirstAttribute(response) : nullptr; attribute;
         attribute = ippNextAttribute(response)) {
        if (const char *name = ippGetName(attribute))
            read(QByteArray(name), attribute);
        else // the next job's attributes begin
            jobDone();
    }
    jobDone();
}

// A job waiting in a stopped queue gives no reason of its own: the queue's
// is asked for (one request more, only while such jobs wait) and told as the
// job's.
void explainStoppedPrinter(http_t *http, const QByteArray &printerUri, QHash<int, JobStatus> *jobs)
{
    const auto waiting = [](const JobStatus &status) {
        return status.state == JobState::Pending && status.printerMessage.isEmpty()
            && (status.reasons.isEmpty() || status.reasons == QLatin1String("none"));
    };
    if (std::none_of(jobs->cbegin(), jobs->cend(), waiting))
        return;
    ipp_t *request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, printerUri.constData());
    static const char *const wanted[] = {"printer-state", "printer-state-message"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2, nullptr, wanted);
    ipp_t *response = cupsDoRequest(http, request, "/");
    const bool stopped =
        response && ippGetInteger(ippFindAttribute(response, "printer-state", IPP_TAG_ENUM), 0) == IPP_PSTATE_STOPPED;
    const QString message =
        QString::fromUtf8(ippGetString(ippFindAttribute(response, "printer-state-message", IPP_TAG_TEXT), 0, nullptr));
    ippDelete(response);
    if (!stopped)
        return;
    for (JobStatus &status : *jobs) {
        if (!waiting(status))
            continue;
        status.reasons = QStringLiteral("printer-stopped");
        status.printerMessage = QStringLiteral("the printer is stopped")
            + (message.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(message));
    }
}

} // namespace

JobCreatedScope::JobCreatedScope(JobCreatedHandler handler)
    : m_previous(t_jobCreated)
{
    // An outer scope still hears of the job, after the inner one.
    t_jobCreated = [handler = std::move(handler), outer = m_previous](const QString &printer, int jobId) {
        if (handler)
            handler(printer, jobId);
        if (outer)
            outer(printer, jobId);
    };
}

JobCreatedScope::~JobCreatedScope()
{
    t_jobCreated = std::move(m_previous);
}

void reportJobCreated(const QString &printer, int jobId)
{
    if (t_jobCreated)
        t_jobCreated(printer, jobId);
}

bool jobStatus(const QString &printer, int jobId, JobStatus *status)
{
    *status = JobStatus();
    http_t *http = connectToScheduler();
    if (!http)
        return false;
    ipp_t *request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    char uri[1024];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/jobs/%d", jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    static const char *const wanted[] = {"job-state", "job-state-reasons", "job-printer-state-message",
                                         "job-printer-uri"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 4, nullptr, wanted);
    ipp_t *response = cupsDoRequest(http, request, "/");
    const ipp_status_t answer = cupsLastError();
    bool ok = false;
    if (response && answer <= IPP_STATUS_OK_CONFLICTING) {
        status->state = JobState(ippGetInteger(ippFindAttribute(response, "job-state", IPP_TAG_ENUM), 0));
        status->reasons = joinedStrings(ippFindAttribute(response, "job-state-reasons", IPP_TAG_KEYWORD));
        status->printerMessage =
            QString::fromUtf8(ippGetString(ippFindAttribute(response, "job-printer-state-message", IPP_TAG_TEXT),
                                           0, nullptr));
        // The id must be this printer's job, not another one's of the same number.
        const char *printerUri = ippGetString(ippFindAttribute(response, "job-printer-uri", IPP_TAG_URI), 0, nullptr);
        const QString queue = printer.section(QLatin1Char('/'), 0, 0);
        ok = !printerUri || QString::fromUtf8(printerUri).endsWith(QLatin1Char('/') + queue);
        if (!ok)
            *status = JobStatus();
    }
    ippDelete(response);
    httpClose(http);
    if (!ok)
        setLastError(answer == IPP_STATUS_ERROR_NOT_FOUND || response ? ErrorFileNotFound : ErrorServerUnavailable);
    return ok;
}

QString jobReason(const JobStatus &status)
{
    if (!status.printerMessage.isEmpty())
        return status.printerMessage;
    // The job's state reasons in words; those that only restate its state
    // or where it is on its way say nothing of why.
    static const QHash<QString, QString> words{
        {QStringLiteral("job-canceled-by-user"), QStringLiteral("canceled by its user")},
        {QStringLiteral("job-canceled-by-operator"), QStringLiteral("canceled by an operator")},
        {QStringLiteral("job-canceled-at-device"), QStringLiteral("canceled at the device")},
        {QStringLiteral("aborted-by-system"), QStringLiteral("aborted by the print service")},
        {QStringLiteral("printer-stopped"), QStringLiteral("the printer is stopped")},
        {QStringLiteral("job-hold-until-specified"), QStringLiteral("held until a set time")},
        {QStringLiteral("job-held-for-authentication"), QStringLiteral("held for authentication")},
        {QStringLiteral("document-format-error"), QStringLiteral("the printer could not read the document")},
    };
    static const QStringList silent{
        QStringLiteral("none"), QStringLiteral("processing-to-stop-point"), QStringLiteral("job-incoming"),
        QStringLiteral("job-queued"), QStringLiteral("job-printing"), QStringLiteral("job-transforming"),
        QStringLiteral("job-completed-successfully"), QStringLiteral("job-fetchable"),
        QStringLiteral("job-data-insufficient")};
    QStringList reasons;
    for (const QString &reason : status.reasons.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (!silent.contains(reason))
            reasons << words.value(reason, reason);
    }
    return reasons.join(QStringLiteral(", "));
}

bool jobEnd(const JobStatus &status, QString *state, QString *failure)
{
    const QString reason = jobReason(status);
    failure->clear();
    switch (status.state) {
    case JobState::Completed:
        *state = QStringLiteral("completed");
        return true;
    case JobState::Aborted:
        *state = QStringLiteral("aborted");
        *failure = QStringLiteral("Failed at the printer: ")
            + (reason.isEmpty() ? QStringLiteral("the job was aborted") : reason);
        return true;
    case JobState::Canceled:
        *state = QStringLiteral("canceled");
        *failure = QStringLiteral("Canceled at the printer")
            + (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason);
        return true;
    default:
        return false;
    }
}

bool jobStates(const QString &printer, QHash<int, JobStatus> *jobs)
{
    if (jobs->isEmpty())
        return true;
    http_t *http = connectToScheduler();
    if (!http)
        return false;
    // One request for all of them: the printer's jobs of this user from the
    // oldest one asked about on, ended ones included.
    const QByteArray uri = printerUri(printer);
    const QList<int> ids = jobs->keys();
    static const char *const wanted[] = {"job-id", "job-state", "job-state-reasons", "job-printer-state-message"};
    ipp_t *request = myJobsRequest(uri, wanted, 4);
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "first-job-id", *std::min_element(ids.begin(), ids.end()));
    ipp_t *response = cupsDoRequest(http, request, "/");
    // A queue removed since answers too: none of its jobs is known any more.
    const bool ok = response
        && (cupsLastError() <= IPP_STATUS_OK_CONFLICTING || cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND);
    for (auto &status : *jobs)
        status = JobStatus();
    int id = 0;
    JobStatus status;
    const auto read = [&](const QByteArray &key, ipp_attribute_t *attribute) {
        if (key == "job-id")
            id = ippGetInteger(attribute, 0);
        else if (key == "job-state")
            status.state = JobState(ippGetInteger(attribute, 0));
        else if (key == "job-state-reasons")
            status.reasons = joinedStrings(attribute);
        else if (key == "job-printer-state-message")
            status.printerMessage = QString::fromUtf8(ippGetString(attribute, 0, nullptr));
    };
    readJobs(ok ? response : nullptr, read, [&] {
        if (id > 0 && jobs->contains(id))
            jobs->insert(id, status);
        id = 0;
        status = JobStatus();
    });
    ippDelete(response);
    if (ok)
        explainStoppedPrinter(http, uri, jobs);
    httpClose(http);
    if (!ok)
        setLastError(ErrorServerUnavailable);
    return ok;
}

int findJob(const QString &printer, const QString &title, qint64 createdSince)
{
    http_t *http = connectToScheduler();
    if (!http)
        return 0;
    static const char *const wanted[] = {"job-id", "job-name", "time-at-creation"};
    ipp_t *response = cupsDoRequest(http, myJobsRequest(printerUri(printer), wanted, 3), "/");
    const QByteArray wantedTitle = title.toUtf8();
    int found = 0;
    int id = 0;
    QByteArray name;
    qint64 created = 0;
    const auto read = [&](const QByteArray &key, ipp_attribute_t *attribute) {
        if (key == "job-id")
            id = ippGetInteger(attribute, 0);
        else if (key == "job-name")
            name = ippGetString(attribute, 0, nullptr);
        else if (key == "time-at-creation")
            created = ippGetInteger(attribute, 0);
    };
    readJobs(response, read, [&] {
        if (id > found && name == wantedTitle && created >= createdSince)
            found = id;
        id = 0;
        name.clear();
        created = 0;
    });
    ippDelete(response);
    httpClose(http);
    return found;
}

bool cancelJob(const QString &printer, int jobId)
{
    http_t *http = connectToScheduler();
    if (!http)
        return false;
    const QByteArray queue = printer.section(QLatin1Char('/'), 0, 0).toUtf8();
    const bool ok = cupsCancelJob2(http, queue.constData(), jobId, 0) == IPP_STATUS_OK;
    httpClose(http);
    return ok;
}

JobOutcome jobWentOut(const QString &printer, int jobId)
{
    if (jobId <= 0)
        return JobOutcome::NotOut;
    JobStatus job;
    if (!jobStatus(printer, jobId, &job))
        return lastError() == ErrorServerUnavailable ? JobOutcome::NoAnswer : JobOutcome::NotOut;
    if (job.state == JobState::Canceled || job.state == JobState::Aborted)
        return JobOutcome::NotOut;
    if (!job.reasons.contains(QLatin1String("job-incoming")))
        return JobOutcome::WentOut;
    return cancelJob(printer, jobId) ? JobOutcome::NotOut : JobOutcome::NoAnswer;
}

} // namespace Platform
