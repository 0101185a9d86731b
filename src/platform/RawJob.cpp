#include "platform/RawJob.h"

#include "platform/JobTracking.h"
#include "platform/LastError.h"
#include "platform/SpoolJobs.h"
#include "platform/SpoolerState.h"

namespace Platform {

namespace {

bool hasOpenJob(PrinterHandle &printer)
{
    if (printer.isOpen() && printer.state()->rawJob > 0 && printer.state()->http)
        return true;
    setLastError(ErrorInvalidParameter);
    return false;
}

// The job is cancelled on a connection of its own: the one it was being
// sent on is in the middle of a request.
void cancelJob(PrinterHandle::State *state, int job, bool requestOpen)
{
    const quint32 error = lastError();
    if (requestOpen) {
        httpClose(state->http);
        state->http = connectToScheduler();
    }
    if (state->http)
        cupsCancelJob2(state->http, state->dest->name, job, 0);
    setLastError(error);
}

} // namespace

void abandonRawJob(PrinterHandle::State *state)
{
    if (state->rawJob <= 0)
        return;
    cancelJob(state, state->rawJob, true);
    state->rawJob = 0;
}

int startDocPrinter(PrinterHandle &printer, const QString &documentName)
{
    if (!printer.isOpen() || printer.state()->rawJob > 0) {
        setLastError(ErrorInvalidParameter);
        return 0;
    }
    // A connection lost while cancelling an earlier job is not replaced by
    // libcups' unbounded default one.
    if (!printer.state()->http) {
        setLastError(ErrorServerUnavailable);
        return 0;
    }
    PrinterHandle::State *state = printer.state();
    const QByteArray title = jobTitle(documentName);
    const int job = createDestinationJob(state, title, 0, nullptr, ErrorInvalidPrinterState);
    if (job <= 0)
        return 0;
    reportJobCreated(state->name, job);
    if (!startDestinationDocument(state, job, title, CUPS_FORMAT_RAW)) {
        setLastErrorFromCups(ErrorServerUnavailable);
        state->broken = true;
        cancelJob(state, job, true);
        return 0;
    }
    state->rawJob = job;
    return job;
}

bool startPagePrinter(PrinterHandle &printer)
{
    return hasOpenJob(printer);
}

bool endPagePrinter(PrinterHandle &printer)
{
    return hasOpenJob(printer);
}

bool writePrinter(PrinterHandle &printer, const char *data, qint64 size, qint64 *written)
{
    *written = 0;
    if (!hasOpenJob(printer) || size < 0)
        return false;
    if (size > 0
        && cupsWriteRequestData(printer.state()->http, data, size_t(size)) != HTTP_STATUS_CONTINUE) {
        setLastErrorFromCups(ErrorServerUnavailable);
        printer.state()->broken = true;
        return false;
    }
    *written = size;
    return true;
}

bool endDocPrinter(PrinterHandle &printer)
{
    if (!hasOpenJob(printer))
        return false;
    PrinterHandle::State *state = printer.state();
    const int job = state->rawJob;
    state->rawJob = 0;
    // "OK, some attributes ignored or substituted" is still an accepted job.
    if (cupsFinishDestDocument(state->http, state->dest, state->info) > IPP_STATUS_OK_CONFLICTING) {
        setLastErrorFromCups(ErrorServerUnavailable);
        state->broken = true;
        cancelJob(state, job, false);
        return false;
    }
    return true;
}

bool abortPrinter(PrinterHandle &printer)
{
    if (!hasOpenJob(printer))
        return false;
    abandonRawJob(printer.state());
    return true;
}

} // namespace Platform
