#pragma once

#include "cache/PrintSettings.h"
#include "engines/PrintJob.h"

#include <QString>

// The answer of one cache build, handed from the worker to the window.
struct CacheResult
{
    bool success = false;
    QString message;
    QString cachePath;
    int pageCount = 0;
    int compressedImagePageCount = 0;
    bool usedAcrobat = false;
    QString acrobatError;
};

// Renders a hot-folder job once into a print cache: images through a
// 300-dpi intermediate PDF, PDFs as they are. The key and the record name
// the job's own file, never the intermediate one. Runs on a worker thread.
CacheResult buildCacheForJob(const PrintJob &job);

// The settings a job's cache is made with: the job's, Acrobat first, and the
// resolution the file to render asks for.
PrintSettings cacheSettingsFor(const PrintJob &job, const QString &renderPath);

// The data of one file for one set of settings, stored under the source's
// key: Acrobat capture first when asked, else (or when it fails) the
// built-in engine, the printer's own filters writing into the cache. The
// data gets its final name only by an atomic rename, so an earlier cache of
// the same key stays whole until the new one replaces it. Fills the whole
// result, its success flag included. sourceKey, when given, is the source's
// key when the file to render was made from it (an office document's PDF):
// a source changed since then is not cached under its new key.
bool buildCache(const QString &renderPath, const QString &sourcePath, const PrintSettings &settings,
                CacheResult *result, const QString &sourceKey = QString());
