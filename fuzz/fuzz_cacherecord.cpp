// Any file found as a cache record: read by the lookup that prints from a
// cache and by the listing of a hot folder's caches (which may upgrade it in
// place). Neither may crash, and neither may lead outside the cache folder.

#include "FuzzSupport.h"

#include "cache/CacheLocation.h"
#include "cache/CacheStore.h"

#include <QDir>
#include <QFile>

#include <cstdlib>

namespace {

QString s_source;
PrintSettings s_settings;
QString s_key;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    Fuzz::setUpProcess(argc, argv);
    const uint8_t pdf[] = "%PDF-1.4\n";
    s_source = Fuzz::writeScratch("source.pdf", pdf, sizeof pdf - 1);
    s_settings.printerName = QStringLiteral("Printer");
    s_settings.hotFolderId = 2;
    s_key = cacheKey(s_source, s_settings);
    QDir().mkpath(cacheDirectory());
    QFile data(QDir(cacheDirectory()).filePath(s_key + QStringLiteral(".prn")));
    if (s_key.isEmpty() || !data.open(QIODevice::WriteOnly) || data.write("data") != 4)
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString json = QDir(cacheDirectory()).filePath(s_key + QStringLiteral(".json"));
    QFile record(json);
    if (!record.open(QIODevice::WriteOnly)
        || record.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        return 0;
    record.close();

    int pages = 0;
    if (!findCache(s_source, s_settings, nullptr, &pages) || pages < 1)
        std::abort();
    const QString folder = QDir(cacheDirectory()).absolutePath() + QLatin1Char('/');
    for (const CacheEntry &entry : listCaches(s_settings)) {
        if (!entry.prnPath.startsWith(folder) || entry.pageCount < 1)
            std::abort();
    }
    return 0;
}
