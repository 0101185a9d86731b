#include "cache/CacheLocation.h"

#include "store/DataLocation.h"

#include <QDir>

QString cacheDirectory()
{
    return QDir(localDataDirectory()).filePath(QStringLiteral("rip-cache"));
}
