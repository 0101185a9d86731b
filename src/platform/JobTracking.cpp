#include "platform/JobTracking.h"

#include "platform/LastError.h"
#include "platform/SpoolerState.h"

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

} // namespace Platform
