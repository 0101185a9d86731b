#pragma once

#include "cache/PrintSettings.h"

#include <QList>
#include <QString>

// The print caches on disk: for each one, under its key in the cache
// directory, the printer-ready data (key.prn) and its record (key.json).

// What a cache was built from and for: the record file.
struct CacheRecord
{
    QString sourcePath;
    PrintSettings settings;
    int pageCount = 1;
    qint64 rawSize = 0;
    int compressedImagePageCount = 0;
    QString cacheEngine; // "acrobat-capture" or "pdfium"
};

// One cache as the cache manager lists it.
struct CacheEntry
{
    QString sourcePath;
    QString sourceName;
    QString prnPath;
    QString jsonPath;
    int pageCount = 1;
    qint64 prnSize = 0;
};

// The key of a file's cache for one set of settings: SHA-256 over the
// file's identity (path, size, modification time) and the settings, in
// lower-case hex. Empty, with "The source file does not exist.", when the
// path names no regular file.
QString cacheKey(const QString &sourcePath, const PrintSettings &settings, QString *error = nullptr);

// The cache of a file for a set of settings, with its data file and pages.
bool findCache(const QString &sourcePath, const PrintSettings &settings, QString *prnPath = nullptr,
               int *pageCount = nullptr);

// The caches of one hot folder's preset, newest first. Records written
// without hot-folder information are claimed for the preset when their key
// proves they were made for it, and rewritten with it.
QList<CacheEntry> listCaches(const PrintSettings &settings);

// Removes both files of a cache; "The cache file is in use and cannot be
// deleted yet." when one of them stays.
bool deleteCacheFiles(const CacheEntry &entry, QString *error = nullptr);

// Data a cache can be printed from: a regular file of at least one byte,
// not a link (a cache never leads out of its directory).
bool isCacheData(const QString &prnPath);

// The record, compact JSON, replaced atomically.
bool writeCacheRecord(const QString &jsonPath, const CacheRecord &record);
