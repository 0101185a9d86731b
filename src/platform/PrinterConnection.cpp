#include "platform/SpoolerState.h"

#include "platform/LastError.h"
#include "platform/LpOptions.h"

#include <QFile>
#include <QMutex>

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <vector>

// Opening and closing printers: the scheduler connection, the destination
// lookup, and the printers a batch keeps open for its next files.
namespace Platform {

PrinterHandle::State::~State()
{
    // Closing a printer in the middle of a RAW job abandons the job.
    if (http && dest)
        abandonRawJob(this);
    if (info)
        cupsFreeDestInfo(info);
    if (dest)
        cupsFreeDests(1, dest);
    if (http)
        httpClose(http);
}

bool PrinterHandle::isOpen() const
{
    return m_state != nullptr;
}

QString PrinterHandle::name() const
{
    return m_state ? m_state->name : QString();
}

void setLastErrorFromCups(quint32 fallback)
{
    switch (cupsLastError()) {
    case IPP_STATUS_ERROR_NOT_FOUND:
        setLastError(ErrorInvalidPrinterName);
        break;
    case IPP_STATUS_ERROR_SERVICE_UNAVAILABLE:
        setLastError(ErrorServerUnavailable);
        break;
    case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS:
        setLastError(ErrorInvalidPrinterState);
        break;
    case IPP_STATUS_ERROR_FORBIDDEN:
    case IPP_STATUS_ERROR_NOT_AUTHORIZED:
    case IPP_STATUS_ERROR_NOT_AUTHENTICATED:
        setLastError(ErrorAccessDenied);
        break;
    default:
        setLastError(fallback);
        break;
    }
}

namespace {

int s_schedulerTimeoutMs = 15000;

// Called when the scheduler has sent nothing for the time limit: give up.
int stopWaiting(http_t *, void *)
{
    return 0;
}

bool schedulerAnswers(http_t *http)
{
    ipp_t *request = ippNewRequest(IPP_OP_CUPS_GET_DEFAULT);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "printer-name");
    // Any answer will do ("no default printer" included); none means the
    // scheduler is down or stuck.
    ipp_t *response = cupsDoRequest(http, request, "/");
    if (!response) {
        setLastError(ErrorServerUnavailable);
        return false;
    }
    ippDelete(response);
    return true;
}

} // namespace

void setSchedulerTimeout(int milliseconds)
{
    s_schedulerTimeoutMs = std::max(milliseconds, 1);
}

http_t *connectToScheduler()
{
    http_t *http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(),
                                1, s_schedulerTimeoutMs, nullptr);
    if (!http) {
        setLastError(ErrorServerUnavailable);
        return nullptr;
    }
    // A scheduler that accepts connections but never answers (stopped, or
    // stuck) must not hold a print for minutes.
    httpSetTimeout(http, s_schedulerTimeoutMs / 1000.0, stopWaiting, nullptr);
    httpBlocking(http, 1);
    // libcups looks names it cannot find up again over connections of its
    // own, which nothing bounds: hand out only a scheduler that answers.
    if (!schedulerAnswers(http)) {
        httpClose(http);
        return nullptr;
    }
    return http;
}

namespace {

// The user's and the system's options files as they are now: libcups reads
// both into a destination, so a kept one is stale once either changed.
QByteArray optionsFilesStamp()
{
    QByteArray stamp;
    for (const QString &path : {userLpOptionsPath(), QStringLiteral("/etc/cups/lpoptions")}) {
        struct stat info {};
        if (::stat(QFile::encodeName(path).constData(), &info) == 0)
            stamp += QByteArray::number(qulonglong(info.st_ino)) + ':' + QByteArray::number(qlonglong(info.st_size))
                + ':' + QByteArray::number(qlonglong(info.st_mtim.tv_sec)) + '.'
                + QByteArray::number(qlonglong(info.st_mtim.tv_nsec));
        stamp += ';';
    }
    return stamp;
}

// When the printer's configuration last changed (its driver, options,
// media), as the scheduler tells; -1 when it could not be asked.
qint64 configChangeTime(PrinterHandle::State *state)
{
    ipp_t *request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    const char *uri = cupsGetOption("printer-uri-supported", state->dest->num_options, state->dest->options);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri ? uri : "");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "printer-config-change-time");
    ipp_t *response = cupsDoRequest(state->http, request, "/");
    if (!response || cupsLastError() > IPP_STATUS_OK_CONFLICTING) {
        ippDelete(response);
        return -1;
    }
    ipp_attribute_t *attribute = ippFindAttribute(response, "printer-config-change-time", IPP_TAG_INTEGER);
    const qint64 time = attribute ? ippGetInteger(attribute, 0) : 0;
    ippDelete(response);
    // The time is in seconds: a printer changed within the last one may
    // change again unseen, so it is not kept.
    if (time >= qint64(std::time(nullptr)) - 1)
        return -1;
    return time;
}

// The printers kept open for reuse while a scope lasts. A kept printer is
// used by one thread at a time: whoever takes it owns it until it is closed.
struct KeptPrinters
{
    QMutex mutex;
    int scopes = 0;
    std::vector<std::unique_ptr<PrinterHandle::State>> idle;
};
KeptPrinters &kept()
{
    static KeptPrinters printers;
    return printers;
}

bool keepingPrinters()
{
    QMutexLocker lock(&kept().mutex);
    return kept().scopes > 0;
}

// A batch may hold a few handles of one printer at once (its settings read
// while a job is written); more are not worth keeping.
constexpr size_t kMaxKeptPrinters = 8;

bool connectAndLookUp(PrinterHandle::State *state)
{
    state->http = connectToScheduler();
    if (!state->http)
        return false;
    // "Printer/instance", as the printer list names instances.
    const QByteArray destination = state->name.section(QLatin1Char('/'), 0, 0).toUtf8();
    const QByteArray instance = state->name.section(QLatin1Char('/'), 1).toUtf8();
    state->optionsStamp = optionsFilesStamp();
    state->dest = cupsGetNamedDest(state->http, destination.constData(),
                                   instance.isEmpty() ? nullptr : instance.constData());
    // libcups names any instance asked for; only one the user defined is one.
    bool instanceFound = instance.isEmpty();
    if (!instanceFound && state->dest) {
        cups_dest_t *dests = nullptr;
        const int count = cupsGetDests2(state->http, &dests);
        instanceFound = cupsGetDest(destination.constData(), instance.constData(), count, dests);
        cupsFreeDests(count, dests);
    }
    if (!state->dest || !instanceFound) {
        setLastErrorFromCups(ErrorInvalidPrinterName);
        return false;
    }
    if (keepingPrinters())
        state->configChanged = configChangeTime(state);
    return true;
}

// A kept printer of that name whose destination still holds: the options
// files and the printer's configuration unchanged, the connection alive.
std::unique_ptr<PrinterHandle::State> takeKeptPrinter(const QString &name)
{
    std::unique_ptr<PrinterHandle::State> state;
    {
        QMutexLocker lock(&kept().mutex);
        auto &idle = kept().idle;
        const auto found = std::find_if(idle.begin(), idle.end(),
                                        [&name](const auto &candidate) { return candidate->name == name; });
        if (found == idle.end())
            return nullptr;
        state = std::move(*found);
        idle.erase(found);
    }
    if (state->optionsStamp != optionsFilesStamp() || configChangeTime(state.get()) != state->configChanged)
        return nullptr; // changed since: opened afresh
    return state;
}

void keepOrClose(std::unique_ptr<PrinterHandle::State> state)
{
    if (!state || state->broken || state->rawJob > 0 || !state->http || httpError(state->http) != 0
        || state->configChanged < 0)
        return;
    QMutexLocker lock(&kept().mutex);
    if (kept().scopes == 0)
        return;
    auto &idle = kept().idle;
    if (idle.size() >= kMaxKeptPrinters)
        idle.erase(idle.begin());
    idle.push_back(std::move(state));
}

} // namespace

PrinterReuseScope::PrinterReuseScope()
{
    QMutexLocker lock(&kept().mutex);
    ++kept().scopes;
}

PrinterReuseScope::~PrinterReuseScope()
{
    std::vector<std::unique_ptr<PrinterHandle::State>> closing;
    {
        QMutexLocker lock(&kept().mutex);
        if (--kept().scopes == 0)
            closing.swap(kept().idle);
    }
}

PrinterHandle::PrinterHandle() = default;

PrinterHandle::~PrinterHandle()
{
    keepOrClose(std::move(m_state));
}

PrinterHandle::PrinterHandle(PrinterHandle &&) noexcept = default;

PrinterHandle &PrinterHandle::operator=(PrinterHandle &&other) noexcept
{
    if (this != &other) {
        keepOrClose(std::move(m_state));
        m_state = std::move(other.m_state);
    }
    return *this;
}

bool openPrinter(const QString &name, PrinterHandle *handle)
{
    closePrinter(handle);
    // An empty name would make libcups answer with the default destination.
    if (name.trimmed().isEmpty()) {
        setLastError(ErrorInvalidPrinterName);
        return false;
    }
    std::unique_ptr<PrinterHandle::State> state = takeKeptPrinter(name);
    if (!state) {
        state = std::make_unique<PrinterHandle::State>();
        state->name = name;
        if (!connectAndLookUp(state.get()))
            return false;
    }
    *handle = PrinterHandle();
    handle->m_state = std::move(state);
    return true;
}

bool printerNames(QStringList *names)
{
    names->clear();
    http_t *http = connectToScheduler();
    if (!http)
        return false;
    cups_dest_t *dests = nullptr;
    const int count = cupsGetDests2(http, &dests);
    for (int i = 0; i < count; ++i) {
        QString name = QString::fromUtf8(dests[i].name);
        if (dests[i].instance)
            name += QLatin1Char('/') + QString::fromUtf8(dests[i].instance);
        names->append(name);
    }
    cupsFreeDests(count, dests);
    httpClose(http);
    return true;
}

void closePrinter(PrinterHandle *handle)
{
    *handle = PrinterHandle();
}

bool ensureDestInfo(PrinterHandle::State *state)
{
    if (state->info)
        return true;
    state->info = cupsCopyDestInfo(state->http, state->dest);
    if (!state->info) {
        setLastErrorFromCups(ErrorPrinterDeleted);
        state->broken = true;
        return false;
    }
    return true;
}


} // namespace Platform
