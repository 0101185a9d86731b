#include "platform/CapturePrinter.h"

#include "platform/CapturePorts.h"
#include "platform/LastError.h"
#include "platform/SpoolerState.h"

#include <QFile>
#include <QScopeGuard>

#include <cups/cups.h>

namespace Platform {

namespace {

QByteArray printerUri(const QString &name)
{
    char uri[HTTP_MAX_URI] = "";
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", name.toUtf8().constData());
    return QByteArray(uri);
}

// One administrative request on a fresh connection; the answer's status
// decides, and a refusal sets the last error from it.
bool administer(ipp_t *request, const QString &ppdFile = QString())
{
    http_t *http = connectToScheduler();
    if (!http) {
        ippDelete(request);
        return false;
    }
    const QByteArray ppd = QFile::encodeName(ppdFile);
    ippDelete(cupsDoFileRequest(http, request, "/admin/", ppd.isEmpty() ? nullptr : ppd.constData()));
    httpClose(http);
    if (cupsLastError() > IPP_STATUS_OK_CONFLICTING) {
        setLastErrorFromCups(ErrorAccessDenied);
        return false;
    }
    return true;
}

ipp_t *printerRequest(ipp_op_t operation, const QString &name)
{
    ipp_t *request = ippNewRequest(operation);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 printerUri(name).constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    return request;
}

} // namespace

bool enumPrinterPorts(QList<PrinterPort> *printers)
{
    printers->clear();
    http_t *http = connectToScheduler();
    if (!http)
        return false;
    ipp_t *request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
    static const char *const wanted[] = {"printer-name", "device-uri", "printer-config-change-time"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3, nullptr, wanted);
    ipp_t *response = cupsDoRequest(http, request, "/");
    httpClose(http);
    const auto freeResponse = qScopeGuard([response] { ippDelete(response); });
    // No queue at all is an answer too.
    if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND)
        return true;
    if (!response || cupsLastError() > IPP_STATUS_OK_CONFLICTING) {
        setLastErrorFromCups(ErrorServerUnavailable);
        return false;
    }
    PrinterPort printer;
    for (ipp_attribute_t *attribute = ippFirstAttribute(response); attribute;
         attribute = ippNextAttribute(response)) {
        const char *name = ippGetName(attribute);
        if (!name) { // the end of one printer's group
            if (!printer.printerName.isEmpty())
                printers->append(printer);
            printer = PrinterPort();
        } else if (!strcmp(name, "printer-name")) {
            printer.printerName = QString::fromUtf8(ippGetString(attribute, 0, nullptr));
        } else if (!strcmp(name, "device-uri")) {
            printer.port = portOfDeviceUri(ippGetString(attribute, 0, nullptr));
        } else if (!strcmp(name, "printer-config-change-time")) {
            printer.changedAt = ippGetInteger(attribute, 0);
        }
    }
    if (!printer.printerName.isEmpty())
        printers->append(printer);
    return true;
}

bool addCapturePrinter(const QString &name, const QString &port, PrinterHandle &templatePrinter)
{
    PrinterHandle::State *state = templatePrinter.state();
    if (!state) {
        setLastError(ErrorInvalidPrinterName);
        return false;
    }
    bool hasNoDriver = false;
    const QString ppd = fetchPpdFile(state, &hasNoDriver);
    const auto removePpd = qScopeGuard([&ppd] {
        if (!ppd.isEmpty())
            QFile::remove(ppd);
    });
    if (ppd.isEmpty() && !hasNoDriver) {
        setLastErrorFromCups(ErrorServerUnavailable);
        return false;
    }
    ipp_t *request = printerRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER, name);
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr,
                 captureDeviceUri(port).constData());
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-info", nullptr,
                 "Quorvalent Dunmarrow capture printer");
    ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);
    ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-shared", 0);
    // Nobody else's job may end up in this user's cache.
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_NAME, "requesting-user-name-allowed", nullptr, cupsUser());
    ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_NAME, "printer-error-policy", nullptr, "abort-job");
    return administer(request, ppd);
}

bool printerJobs(const QString &name, QList<PrinterJob> *jobs)
{
    jobs->clear();
    http_t *http = connectToScheduler();
    if (!http)
        return false;
    cups_job_t *list = nullptr;
    const int count = cupsGetJobs2(http, &list, name.toUtf8().constData(), 0, CUPS_WHICHJOBS_ALL);
    for (int i = 0; i < count; ++i) {
        PrinterJob job;
        job.id = list[i].id;
        if (list[i].state == IPP_JSTATE_COMPLETED)
            job.state = PrinterJob::State::Completed;
        else if (list[i].state >= IPP_JSTATE_CANCELED)
            job.state = PrinterJob::State::Failed;
        jobs->append(job);
    }
    cupsFreeJobs(count, list);
    httpClose(http);
    if (count < 0)
        setLastErrorFromCups(ErrorServerUnavailable);
    return count >= 0;
}

bool purgePrinter(const QString &name)
{
    return administer(printerRequest(IPP_OP_PURGE_JOBS, name));
}

bool deletePrinter(const QString &name)
{
    return administer(printerRequest(IPP_OP_CUPS_DELETE_PRINTER, name));
}

} // namespace Platform
