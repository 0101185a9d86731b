#include "engines/EngineAvailability.h"

#include "engines/OfficeSuites.h"
#include "platform/Automation.h"

bool isAcrobatInstalled()
{
    return Platform::isAutomationClassRegistered(QStringLiteral("AcroExch.AVDoc"));
}

bool isPdfEngineUsable(const QString &key)
{
    return key == QLatin1String("pdfium") || (key == QLatin1String("acrobat") && isAcrobatInstalled());
}

bool isOfficeEngineUsable(const QString &key)
{
    if (key == QLatin1String("auto") || key == QLatin1String("libreoffice"))
        return true;
    if (key == QLatin1String("microsoft"))
        return isMicrosoftOfficePresent();
    if (key == QLatin1String("wps"))
        return isWpsOfficePresent();
    return false;
}

QString pdfEngineUnavailableReason(const QString &key)
{
    if (isPdfEngineUsable(key))
        return QString();
    if (key == QLatin1String("acrobat"))
        return QStringLiteral("Adobe Acrobat is not available on Linux. PDFs print with the built-in engine.");
    return QStringLiteral("Unknown PDF engine: %1").arg(key);
}

QString officeEngineUnavailableReason(const QString &key)
{
    if (isOfficeEngineUsable(key))
        return QString();
    if (key == QLatin1String("microsoft"))
        return QStringLiteral("Microsoft Office is not available on Linux. Automatic prints office documents "
                              "with LibreOffice.");
    if (key == QLatin1String("wps"))
        return QStringLiteral("WPS Office cannot be automated on Linux. Automatic prints office documents "
                              "with LibreOffice.");
    return QStringLiteral("Unknown office engine: %1").arg(key);
}

QString usablePdfEngine(const QString &key)
{
    if (isPdfEngineUsable(key))
        return key;
    return isAcrobatInstalled() ? QStringLiteral("acrobat") : QStringLiteral("pdfium");
}

QString usableOfficeEngine(const QString &key)
{
    return isOfficeEngineUsable(key) ? key : QStringLiteral("auto");
}
