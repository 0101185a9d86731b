#include "cache/CacheStore.h"

#include "cache/CacheLocation.h"
#include "platform/FileNames.h"
#include "platform/PinnedFile.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>

namespace {

// A record is a few hundred bytes; anything much larger is not one.
constexpr qint64 kRecordMaxBytes = 256 * 1024;

// A record as a JSON object; empty when the file is missing, a link, not a
// regular file, too large or not a JSON object.
QJsonObject readRecord(const QString &jsonPath)
{
    Platform::PinnedFile pinned;
    if (!pinned.open(jsonPath, Platform::PinnedFile::Links::Refuse))
        return {};
    QFile file;
    if (!file.open(pinned.descriptor(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle)
        || file.size() > kRecordMaxBytes)
        return {};
    const QJsonDocument document = QJsonDocument::fromJson(file.read(kRecordMaxBytes));
    return document.isObject() ? document.object() : QJsonObject();
}

bool writeRecordObject(const QString &jsonPath, const QJsonObject &record)
{
    QSaveFile file(jsonPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(record).toJson(QJsonDocument::Compact));
    return file.commit();
}

int recordPageCount(const QJsonObject &record)
{
    return std::max(1, record.value(QStringLiteral("pageCount")).toInt(1));
}

bool matchesPreset(const QJsonObject &record, const PrintSettings &settings)
{
    const auto flag = [&](const char *key) { return record.value(QLatin1String(key)).toBool(false); };
    return record.value(QStringLiteral("hotFolderId")).toInt(0) == settings.hotFolderId
        && record.value(QStringLiteral("printerName")).toString() == settings.printerName
        && flag("duplex") == settings.duplex && flag("shortEdge") == settings.shortEdge
        && flag("color") == settings.color
        && record.value(QStringLiteral("paperSize")).toString(QStringLiteral("A4")) == settings.paperSize
        && flag("useDriverSettings") == settings.useDriverSettings;
}

void setPresetKeys(QJsonObject *record, const PrintSettings &settings)
{
    record->insert(QStringLiteral("hotFolderId"), settings.hotFolderId);
    record->insert(QStringLiteral("duplex"), settings.duplex);
    record->insert(QStringLiteral("shortEdge"), settings.shortEdge);
    record->insert(QStringLiteral("color"), settings.color);
    record->insert(QStringLiteral("paperSize"), settings.paperSize);
    record->insert(QStringLiteral("useDriverSettings"), settings.useDriverSettings);
}

} // namespace

QString cacheKey(const QString &sourcePath, const PrintSettings &settings, QString *error)
{
    const QFileInfo source(sourcePath);
    if (sourcePath.isEmpty() || !source.isFile()) {
        if (error)
            *error = QStringLiteral("The source file does not exist.");
        return QString();
    }
    const auto flag = [](const char *name, bool on) {
        return QByteArray("\n") + name + (on ? "1" : "0");
    };
    // The file's own name, as stored: names that are not UTF-8 differ too.
    QByteArray bytes = Platform::canonicalBytes(sourcePath);
    bytes += "\n" + QByteArray::number(source.size());
    bytes += "\n" + QByteArray::number(source.lastModified().toMSecsSinceEpoch());
    bytes += "\n" + settings.printerName.toUtf8();
    bytes += flag("D", settings.duplex) + flag("S", settings.shortEdge) + flag("C", settings.color);
    bytes += "\n" + settings.paperSize.toUtf8();
    bytes += flag("U", settings.useDriverSettings);
    bytes += "\nACROBAT_CAPTURE_V5";
    if (error)
        error->clear();
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

bool isCacheData(const QString &prnPath)
{
    const QFileInfo data(prnPath);
    return !data.isSymLink() && data.isFile() && data.size() >= 1;
}

bool findCache(const QString &sourcePath, const PrintSettings &settings, QString *prnPath,
               int *pageCount)
{
    const QString key = cacheKey(sourcePath, settings);
    if (key.isEmpty())
        return false;
    const QDir directory(cacheDirectory());
    const QString prn = directory.filePath(key + QStringLiteral(".prn"));
    if (!isCacheData(prn))
        return false;
    if (prnPath)
        *prnPath = prn;
    if (pageCount)
        *pageCount = recordPageCount(readRecord(directory.filePath(key + QStringLiteral(".json"))));
    return true;
}

QList<CacheEntry> listCaches(const PrintSettings &settings)
{
    QList<CacheEntry> entries;
    const QDir directory(cacheDirectory());
    const QFileInfoList records = directory.entryInfoList({QStringLiteral("*.json")},
                                                          QDir::Files | QDir::NoSymLinks, QDir::Time);
    for (const QFileInfo &json : records) {
        QJsonObject record = readRecord(json.absoluteFilePath());
        const QString sourcePath = record.value(QStringLiteral("sourcePath")).toString();
        if (sourcePath.isEmpty())
            continue;
        if (!record.contains(QStringLiteral("hotFolderId"))) {
            // Written before records named their hot folder: only the key
            // can tell whether it was made for this preset.
            if (cacheKey(sourcePath, settings) != json.completeBaseName())
                continue;
            setPresetKeys(&record, settings);
            writeRecordObject(json.absoluteFilePath(), record);
        } else if (!matchesPreset(record, settings)) {
            continue;
        }
        const QString prn = directory.filePath(json.completeBaseName() + QStringLiteral(".prn"));
        if (!isCacheData(prn))
            continue;
        entries << CacheEntry{sourcePath,           QFileInfo(sourcePath).fileName(),
                              QFileInfo(prn).absoluteFilePath(), json.absoluteFilePath(),
                              recordPageCount(record), QFileInfo(prn).size()};
    }
    return entries;
}

bool deleteCacheFiles(const CacheEntry &entry, QString *error)
{
    bool removed = true;
    for (const QString &path : {entry.prnPath, entry.jsonPath}) {
        const QFileInfo file(path);
        if ((file.exists() || file.isSymLink()) && !QFile::remove(path))
            removed = false;
    }
    if (error)
        *error = removed ? QString()
                         : QStringLiteral("The cache file is in use and cannot be deleted yet.");
    return removed;
}

bool writeCacheRecord(const QString &jsonPath, const CacheRecord &record)
{
    const PrintSettings &s = record.settings;
    QJsonObject object{
        {QStringLiteral("sourcePath"), record.sourcePath},
        {QStringLiteral("printerName"), s.printerName},
        {QStringLiteral("pageCount"), std::max(1, record.pageCount)},
        {QStringLiteral("rawSize"), double(record.rawSize)},
        {QStringLiteral("resolutionDpi"), s.resolutionDpi},
        {QStringLiteral("compressedImagePageCount"), record.compressedImagePageCount},
        {QStringLiteral("cacheEngine"), record.cacheEngine},
    };
    setPresetKeys(&object, s);
    return writeRecordObject(jsonPath, object);
}
