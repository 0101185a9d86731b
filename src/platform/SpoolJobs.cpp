#include "platform/SpoolJobs.h"

#include "platform/JobTracking.h"

#include "platform/ChildProcess.h"
#include "platform/LastError.h"
#include "platform/SpoolerState.h"

#include <QFile>
#include <QFileInfo>

namespace Platform {

namespace {

struct CupsOptions
{
    explicit CupsOptions(const OptionList &list)
    {
        for (const auto &[name, value] : list)
            count = cupsAddOption(name.toUtf8().constData(), value.toUtf8().constData(), count,
                                  &options);
    }
    ~CupsOptions() { cupsFreeOptions(count, options); }
    CupsOptions(const CupsOptions &) = delete;
    CupsOptions &operator=(const CupsOptions &) = delete;

    int count = 0;
    cups_option_t *options = nullptr;
};

// A filter chain that takes longer than this is taken to hang.
int s_filterTimeLimitMs = 15 * 60 * 1000;

} // namespace

QByteArray jobTitle(const QString &title)
{
    QString clean;
    clean.reserve(title.size());
    for (const QChar c : title)
        clean += (c.category() == QChar::Other_Control) ? QChar(u' ') : c;
    return clean.toUtf8();
}

void setFilterTimeLimit(int milliseconds)
{
    s_filterTimeLimitMs = std::max(milliseconds, 1);
}

int createDestinationJob(PrinterHandle::State *state, const QByteArray &title, int optionCount,
                         cups_option_t *options, quint32 fallbackError)
{
    // libcups' cupsCreateJob looks the destination and its capabilities up
    // again for every job; the open printer has both.
    if (!ensureDestInfo(state))
        return 0;
    int job = 0;
    if (cupsCreateDestJob(state->http, state->dest, state->info, &job, title.constData(), optionCount, options)
            > IPP_STATUS_OK_CONFLICTING
        || job <= 0) {
        setLastErrorFromCups(fallbackError);
        state->broken = true;
        return 0;
    }
    return job;
}

bool startDestinationDocument(PrinterHandle::State *state, int job, const QByteArray &title, const char *format)
{
    return cupsStartDestDocument(state->http, state->dest, state->info, job, title.constData(), format, 0,
                                 nullptr, 1)
        == HTTP_STATUS_CONTINUE;
}

bool submitDocument(PrinterHandle &printer, const QString &file, const QString &title,
                    const char *format, const OptionList &options, int *jobId)
{
    *jobId = 0;
    QFile data(file);
    if (!printer.isOpen() || !data.open(QIODevice::ReadOnly)) {
        setLastError(printer.isOpen() ? ErrorFileNotFound : ErrorInvalidParameter);
        return false;
    }
    PrinterHandle::State *state = printer.state();
    const char *name = state->dest->name;
    const QByteArray titleText = jobTitle(title);
    CupsOptions cupsOptions(options);

    const int job = createDestinationJob(state, titleText, cupsOptions.count, cupsOptions.options,
                                         ErrorServerUnavailable);
    if (job <= 0)
        return false;
    reportJobCreated(state->name, job);
    bool ok = startDestinationDocument(state, job, titleText, format);
    while (ok && !data.atEnd()) {
        const QByteArray chunk = data.read(256 * 1024);
        ok = !chunk.isEmpty()
            && cupsWriteRequestData(state->http, chunk.constData(), size_t(chunk.size()))
                == HTTP_STATUS_CONTINUE;
    }
    ok = ok && data.error() == QFileDevice::NoError;
    // "OK, some attributes ignored or substituted" is still an accepted job.
    if (cupsFinishDestDocument(state->http, state->dest, state->info) > IPP_STATUS_OK_CONFLICTING)
        ok = false;
    if (!ok) {
        setLastErrorFromCups(ErrorServerUnavailable);
        const quint32 error = lastError();
        state->broken = true;
        cupsCancelJob2(state->http, name, job, 0);
        setLastError(error);
        return false;
    }
    *jobId = job;
    return true;
}

bool filterToFile(PrinterHandle &printer, const QString &pdfFile, const OptionList &options,
                  const QString &outputFile)
{
    if (!printer.isOpen()) {
        setLastError(ErrorInvalidParameter);
        return false;
    }
    PrinterHandle::State *state = printer.state();
    bool hasNoDriver = false;
    const QString ppdPath = fetchPpdFile(state, &hasNoDriver);

    QFile::remove(outputFile);
    bool ok = false;
    if (ppdPath.isEmpty() && !hasNoDriver) {
        // The driver exists but could not be had: its output cannot be made.
        setLastErrorFromCups(ErrorServerUnavailable);
        return false;
    }
    if (hasNoDriver) {
        ok = QFile::copy(pdfFile, outputFile);
    } else {
        QStringList arguments = {QStringLiteral("-p"), ppdPath, QStringLiteral("-i"),
                                 QStringLiteral("application/pdf"), QStringLiteral("-m"),
                                 QStringLiteral("printer/foo")};
        for (const auto &[name, value] : options)
            arguments << QStringLiteral("-o") << name + QLatin1Char('=') + value;
        arguments << pdfFile;
        int exitCode = -1;
        setLastError(ErrorSuccess);
        ok = runToFile(QStringLiteral("/usr/sbin/cupsfilter"), arguments, outputFile,
                       s_filterTimeLimitMs, &exitCode)
            && exitCode == 0 && QFileInfo(outputFile).size() > 0;
        QFile::remove(ppdPath);
    }
    if (!ok) {
        // A hung chain and a full disk say so; any other failure is the file's.
        const quint32 error =
            lastError() == ErrorTimeout || lastError() == ErrorDiskFull ? lastError() : ErrorAccessDenied;
        QFile::remove(outputFile);
        setLastError(error);
    }
    return ok;
}

} // namespace Platform
