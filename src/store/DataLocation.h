#pragma once

#include <QString>

// The per-user folder that holds the database and the print cache.
// An empty application data location falls back to the temporary folder.
QString localDataDirectory();

// The rule behind localDataDirectory(), for a given location.
QString localDataDirectoryFor(const QString &appLocalDataLocation);
