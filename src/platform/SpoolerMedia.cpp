// A printer's media list: the papers its description file offers, with the
// names and in the order the driver gives them; for printers without one,
// what the scheduler reports.

#include "platform/SpoolerState.h"

#include "platform/PaperCodes.h"

#include <QFile>

#include <algorithm>

// The PPD interface is deprecated in libcups but is still where a PostScript
// queue's paper names live.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cups/ppd.h>

namespace Platform {

namespace {

struct NamedMedia
{
    QString pwgName;
    QString name;
};

// Points per inch to hundredths of millimetres, as PWG sizes are kept.
int pointsToPwg(float points)
{
    // A description file may say anything; 10 m is more than any paper.
    return int(std::clamp(double(points) * 2540.0 / 72.0, 0.0, 1e6) + 0.5);
}

bool mediaFromPpd(PrinterHandle::State *state, QList<NamedMedia> *out)
{
    ppd_file_t *ppd = openDriverDescription(state);
    if (!ppd)
        return false;

    ppd_option_t *pageSize = ppdFindOption(ppd, "PageSize");
    for (int i = 0; pageSize && i < pageSize->num_choices; ++i) {
        const ppd_choice_t &choice = pageSize->choices[i];
        ppd_size_t *size = ppdPageSize(ppd, choice.choice);
        pwg_media_t *media = pwgMediaForPPD(choice.choice);
        if (!media && size)
            media = pwgMediaForSize(pointsToPwg(size->width), pointsToPwg(size->length));
        if (!media || !media->pwg)
            continue;
        const QString text = QString::fromUtf8(choice.text).trimmed();
        out->append({QString::fromUtf8(media->pwg),
                     text.isEmpty() ? QString::fromUtf8(choice.choice) : text});
    }
    ppdClose(ppd);
    return true;
}

void mediaFromScheduler(PrinterHandle::State *state, QList<NamedMedia> *out)
{
    const int count = cupsGetDestMediaCount(state->http, state->dest, state->info,
                                            CUPS_MEDIA_FLAGS_DEFAULT);
    for (int i = 0; i < count; ++i) {
        cups_size_t size;
        if (!cupsGetDestMediaByIndex(state->http, state->dest, state->info, i,
                                     CUPS_MEDIA_FLAGS_DEFAULT, &size))
            continue;
        const QString pwg = QString::fromUtf8(size.media);
        // The short name ("A4", "Letter") reads best; the scheduler's label
        // is often just the dimensions.
        const pwg_media_t *known = pwgMediaForPWG(size.media);
        QString name = known && known->ppd ? QString::fromUtf8(known->ppd) : QString();
        if (name.isEmpty()) {
            const char *label = cupsLocalizeDestMedia(state->http, state->dest, state->info,
                                                      CUPS_MEDIA_FLAGS_DEFAULT, &size);
            name = label && *label ? QString::fromUtf8(label) : pwg;
        }
        out->append({pwg, name});
    }
}

} // namespace

::ppd_file_s *openDriverDescription(PrinterHandle::State *state)
{
    const QString path = fetchPpdFile(state);
    if (path.isEmpty())
        return nullptr;
    ppd_file_t *ppd = ppdOpenFile(QFile::encodeName(path).constData());
    QFile::remove(path);
    return ppd;
}

QString fetchPpdFile(PrinterHandle::State *state, bool *hasNoDriver)
{
    char path[1024] = "";
    time_t modified = 0;
    const http_status_t status =
        cupsGetPPD3(state->http, state->dest->name, &modified, path, sizeof path);
    if (hasNoDriver)
        *hasNoDriver = status == HTTP_STATUS_NOT_FOUND;
    if (status != HTTP_STATUS_OK)
        return QString();
    return QString::fromLocal8Bit(path);
}

const QList<PrinterMedia> &mediaList(PrinterHandle::State *state)
{
    if (state->mediaLoaded || !ensureDestInfo(state))
        return state->media;
    state->mediaLoaded = true;

    QList<NamedMedia> found;
    if (!mediaFromPpd(state, &found) || found.isEmpty())
        mediaFromScheduler(state, &found);

    // A medium is listed once, under its first name (margin variants and
    // PageSize/PageRegion aliases repeat it).
    QStringList pwgNames;
    QStringList names;
    for (const NamedMedia &media : found) {
        if (media.pwgName.isEmpty() || pwgNames.contains(media.pwgName))
            continue;
        pwgNames << media.pwgName;
        names << media.name;
    }
    const QList<PaperCode> codes = assignPaperCodes(pwgNames);
    for (qsizetype i = 0; i < codes.size(); ++i)
        state->media << PrinterMedia{codes.at(i).code, codes.at(i).pwgMedia, names.at(i)};
    return state->media;
}

} // namespace Platform

#pragma GCC diagnostic pop
