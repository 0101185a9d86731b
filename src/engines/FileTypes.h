#pragma once

#include <QString>
#include <QStringList>

// Which files may enter a print list, by the name's last suffix.

// The 30 extensions that may enter a print list, in their order.
const QStringList &supportedExtensions();
// The text after the last dot of the file name, lower-cased; empty without one.
QString lowerSuffix(const QString &path);
// By the name's last suffix only; existence is the caller's business.
bool isSupportedFile(const QString &path);
// The supported types that print as images.
bool isImageFile(const QString &path);
