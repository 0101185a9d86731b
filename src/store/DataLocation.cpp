#include "store/DataLocation.h"

#include <QDir>
#include <QStandardPaths>

QString localDataDirectoryFor(const QString &appLocalDataLocation)
{
    return appLocalDataLocation.isEmpty() ? QDir::tempPath() : appLocalDataLocation;
}

QString localDataDirectory()
{
    return localDataDirectoryFor(
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
}
