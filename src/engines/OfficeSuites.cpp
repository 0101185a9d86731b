#include "engines/OfficeSuites.h"

#include "platform/Automation.h"
#include "engines/FileTypes.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

bool anyRegistered(const QStringList &progIds)
{
    for (const QString &progId : progIds) {
        if (Platform::isAutomationClassRegistered(progId))
            return true;
    }
    return false;
}

} // namespace

DocumentClass documentClassOf(const QString &path)
{
    static const QStringList writer = {"doc", "docx", "rtf", "wps", "odt", "ott", "odm", "oth"};
    static const QStringList presentation = {"ppt", "pptx", "odp", "otp"};
    static const QStringList spreadsheet = {"xls", "xlsx", "et", "ods", "ots"};
    const QString suffix = lowerSuffix(path);
    if (writer.contains(suffix))
        return DocumentClass::Writer;
    if (presentation.contains(suffix))
        return DocumentClass::Presentation;
    if (spreadsheet.contains(suffix))
        return DocumentClass::Spreadsheet;
    return DocumentClass::None;
}

bool isOfficeDocument(const QString &path)
{
    return documentClassOf(path) != DocumentClass::None;
}

bool isShellVerbType(const QString &path)
{
    static const QStringList types = {"caj", "odt", "ott", "odm", "oth", "ods",
                                      "ots", "odp", "otp", "odg", "otg", "odf"};
    return types.contains(lowerSuffix(path));
}

QStringList officeProgIds(DocumentClass documentClass, const QString &officeEngine)
{
    const bool microsoft = officeEngine == QLatin1String("microsoft");
    const bool wps = officeEngine == QLatin1String("wps");
    const auto pick = [&](const char *ms, const char *wps1, const char *wps2) {
        if (microsoft)
            return QStringList{ms};
        if (wps)
            return QStringList{wps1, wps2};
        return QStringList{ms, wps1, wps2};
    };
    switch (documentClass) {
    case DocumentClass::Writer: return pick("Word.Application", "KWPS.Application", "WPS.Application");
    case DocumentClass::Presentation:
        return pick("PowerPoint.Application", "KWPP.Application", "WPP.Application");
    case DocumentClass::Spreadsheet: return pick("Excel.Application", "KET.Application", "ET.Application");
    case DocumentClass::None: break;
    }
    return {};
}

bool hasComApplication(const QString &path, const QString &officeEngine)
{
    return anyRegistered(officeProgIds(documentClassOf(path), officeEngine));
}

bool isMicrosoftOfficePresent()
{
    return anyRegistered({"Word.Application", "Excel.Application", "PowerPoint.Application"});
}

bool isWpsOfficePresent()
{
    return anyRegistered({"KWPS.Application", "WPS.Application", "KET.Application",
                          "ET.Application", "KWPP.Application", "WPP.Application"});
}

QString findSoffice()
{
    QStringList candidates;
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (!onPath.isEmpty())
        candidates << onPath;
    candidates << QStringLiteral("/usr/lib/libreoffice/program/soffice");
    const QDir opt(QStringLiteral("/opt"));
    for (const QString &folder : opt.entryList({"libreoffice*"}, QDir::Dirs, QDir::Name | QDir::Reversed))
        candidates << opt.filePath(folder + QStringLiteral("/program/soffice"));
    for (const QString &candidate : candidates) {
        const QFileInfo info(candidate);
        if (info.exists() && info.isFile())
            return QDir::toNativeSeparators(info.absoluteFilePath());
    }
    return QString();
}

bool isLibreOfficeAvailable()
{
    return !findSoffice().isEmpty();
}

bool isOfficeSuiteAvailable(const QString &path, const QString &officeEngine)
{
    if (officeEngine == QLatin1String("libreoffice"))
        return isLibreOfficeAvailable();
    if (hasComApplication(path, officeEngine))
        return true;
    return officeEngine == QLatin1String("auto") && isLibreOfficeAvailable();
}

QString officeSuiteName(const QString &path, const QString &officeEngine)
{
    if (officeEngine == QLatin1String("microsoft"))
        return QStringLiteral("Microsoft Office");
    if (officeEngine == QLatin1String("wps"))
        return QStringLiteral("WPS Office");
    if (officeEngine == QLatin1String("libreoffice"))
        return QStringLiteral("LibreOffice");
    // Only a suite that can be installed here is named: the COM suites
    // cannot.
    switch (documentClassOf(path)) {
    case DocumentClass::Writer: return QStringLiteral("LibreOffice Writer");
    case DocumentClass::Presentation: return QStringLiteral("LibreOffice Impress");
    case DocumentClass::Spreadsheet: return QStringLiteral("LibreOffice Calc");
    case DocumentClass::None: break;
    }
    return QStringLiteral("LibreOffice");
}
