#pragma once

// Internal to the spooler layer: what an open printer holds.

#include "platform/Spooler.h"

#include <cups/cups.h>

struct ppd_file_s; // cups/ppd.h, whose interface is deprecated

namespace Platform {

struct PrinterHandle::State
{
    QString name;
    http_t *http = nullptr;
    cups_dest_t *dest = nullptr;
    cups_dinfo_t *info = nullptr; // read on first use
    bool mediaLoaded = false;
    QList<PrinterMedia> media;
    int rawJob = 0; // a RAW job being written (RawJob.h)
    // For keeping the printer open across a batch (PrinterReuseScope): a
    // failed request makes it broken; the stamps tell a changed printer.
    bool broken = false;
    QByteArray optionsStamp;
    qint64 configChanged = -1;

    ~State();
};

// The destination's capabilities; false (last error set) when the printer
// can no longer be asked.
bool ensureDestInfo(PrinterHandle::State *state);
const QList<PrinterMedia> &mediaList(PrinterHandle::State *state);

// The PWG name of a paper code on this printer, or empty when the code means
// no known size.
QString mediaForCode(PrinterHandle::State *state, int code);
// The same for a settings record: its code, or the medium it was read as
// when the code was made for that medium.
QString mediaForRecord(PrinterHandle::State *state, const DeviceMode &devMode);
// The code a medium has on this printer: its place in the media list, its
// standard number, or a code made from its name.
int codeForMedia(PrinterHandle::State *state, const QString &pwgName);
// The printer's medium of the same size (either way round), or empty.
QString listedMediaOfSize(PrinterHandle::State *state, const QString &pwgName);

// Downloads the printer's driver description (PPD) to a temporary file the
// caller removes. Empty when the printer has none (a raw queue) or it could
// not be fetched; hasNoDriver tells the two apart.
QString fetchPpdFile(PrinterHandle::State *state, bool *hasNoDriver = nullptr);

// The printer's driver description, parsed (ppdClose when done); null when
// it has none or it cannot be read.
::ppd_file_s *openDriverDescription(PrinterHandle::State *state);

// The option names that stand for one settings field (DM_COPIES,
// DM_DUPLEX, DM_COLOR, DM_PAPERSIZE, DM_PRINTQUALITY): IPP's first, then the
// PostScript printer description's. Empty for any other field.
const QStringList &optionKeysFor(quint32 field);

// The destination's default for an IPP attribute, as text; empty when none.
QString destDefault(PrinterHandle::State *state, const char *key);
bool destSupports(PrinterHandle::State *state, const char *key, const char *value);
// The printer's default medium (PWG name), or empty.
QString defaultMedia(PrinterHandle::State *state);
// The resolutions (dpi) the printer offers, and the most copies it takes.
QList<int> supportedResolutions(PrinterHandle::State *state);
int maximumCopies(PrinterHandle::State *state);
// "600dpi", "600x300dpi", "600x300dpcm" → x and y in dots per inch.
bool parseResolution(const QString &text, int *x, int *y);
// IPP and PPD keywords for duplex and colour, as settings-record codes.
short duplexFromKeyword(const QString &keyword);
bool isMonochromeKeyword(const QString &keyword);
// "auto" and nothing mean colour when the printer has it.
short colorFromKeyword(PrinterHandle::State *state, const QString &keyword);

// Creates a job on the open printer (0 on failure: the last error set from
// the scheduler's answer or to fallbackError) and starts its one document.
int createDestinationJob(PrinterHandle::State *state, const QByteArray &title, int optionCount,
                         cups_option_t *options, quint32 fallbackError);
bool startDestinationDocument(PrinterHandle::State *state, int job, const QByteArray &title, const char *format);

// Cancels a RAW job that was started and not ended.
void abandonRawJob(PrinterHandle::State *state);

// Sets the last error from libcups' last status, or to fallback.
void setLastErrorFromCups(quint32 fallback);

// A connection to the scheduler that libcups would use, on which every
// wait for an answer is bounded; null (ErrorServerUnavailable) when the
// scheduler is down or does not answer.
http_t *connectToScheduler();

} // namespace Platform
