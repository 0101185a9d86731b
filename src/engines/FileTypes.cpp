#include "engines/FileTypes.h"

#include <algorithm>

const QStringList &supportedExtensions()
{
    static const QStringList extensions = {
        "pdf", "caj", "doc", "docx", "rtf", "wps", "ppt", "pptx", "xls", "xlsx",
        "et",  "odt", "ott", "odm",  "oth", "ods", "ots", "odp",  "otp", "odg",
        "otg", "odf", "jpg", "jpeg", "png", "bmp", "gif", "tif",  "tiff", "webp",
    };
    return extensions;
}

QString lowerSuffix(const QString &path)
{
    // Plain text work, no file system: lists of thousands of files ask.
    qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
#ifdef Q_OS_WIN
    nameStart = std::max(nameStart, path.lastIndexOf(QLatin1Char('\\')) + 1);
#endif
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot < nameStart ? QString() : path.mid(dot + 1).toLower();
}

bool isSupportedFile(const QString &path)
{
    const QString suffix = lowerSuffix(path);
    return !suffix.isEmpty() && supportedExtensions().contains(suffix);
}

bool isImageFile(const QString &path)
{
    static const QStringList images = {"jpg", "jpeg", "png", "bmp", "gif", "tif", "tiff", "webp"};
    return images.contains(lowerSuffix(path));
}
