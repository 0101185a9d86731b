#include "engines/AcrobatCapture.h"

#include "engines/Dispatch.h"

#include <QFileInfo>

bool captureWithAcrobat(const QString &pdfPath, const QString &, const PrintSettings &,
                        int *pageCount, QString *error)
{
    *pageCount = 0;
    if (!QFileInfo(pdfPath).isFile()) {
        *error = QStringLiteral("The PDF file to cache does not exist");
        return false;
    }
    if (!isAcrobatInstalled()) {
        *error = QStringLiteral("No usable Adobe Acrobat COM component was found");
        return false;
    }
    // The capture printer needs the capture port, which this version does
    // not create yet: the built-in engine makes the cache.
    *error = QStringLiteral("The Acrobat capture printer is not available in this version");
    return false;
}
