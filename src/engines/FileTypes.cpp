#include "engines/FileTypes.h"

#include <QFileInfo>

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
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

bool isSupportedFile(const QString &path)
{
    const QString suffix = lowerSuffix(path);
    return !suffix.isEmpty() && supportedExtensions().contains(suffix);
}
