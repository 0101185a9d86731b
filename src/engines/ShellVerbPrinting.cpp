#include "engines/ShellVerbPrinting.h"

#include "engines/FileTypes.h"
#include "engines/LibreOffice.h"
#include "engines/OfficeSuites.h"
#include "engines/PdfiumPrinting.h"
#include "platform/DesktopShell.h"
#include "platform/LastError.h"

#include <QFileInfo>
#include <QRegularExpression>

using namespace Platform;

namespace {

bool isLibreOfficeProgram(const QString &program)
{
    static const QRegularExpression names(
        QStringLiteral("^(soffice(\\.bin)?|libreoffice[0-9.]*|lo(writer|calc|impress|draw|math|base))$"));
    return names.match(QFileInfo(program).fileName()).hasMatch();
}

} // namespace

QString shellDependencyName(const QString &path)
{
    return lowerSuffix(path) == QLatin1String("caj")
        ? QStringLiteral("WPS PDF, CAJViewer, or another reader that can print CAJ files")
        : QStringLiteral("LibreOffice"); // the office suites of Windows cannot be installed here
}

bool hasPrintingApplication(const QString &path)
{
    if (!isLibreOfficeAvailable())
        return false;
    // LibreOffice reads every OpenDocument type; a CAJ file only if the
    // desktop says it is the application for it.
    return lowerSuffix(path) != QLatin1String("caj") || isLibreOfficeProgram(defaultApplicationProgram(path));
}

bool printWithShellVerb(const QString &path, const QString &printerName, bool duplex,
                        bool shortEdge, bool color, const PaperKey &paperKey, int copies,
                        bool useDriverSettings, int *pages, QString *message, QString *note)
{
    *pages = 0;
    message->clear();
    if (!QFileInfo::exists(path)) {
        *message = QStringLiteral("The file does not exist: ") + path;
        return false;
    }
    if (!isShellVerbType(path)) {
        *message = QStringLiteral("Unsupported external document type: ") + lowerSuffix(path);
        return false;
    }
    if (!hasPrintingApplication(path)) {
        // Both verbs find no application; the registered WPS print command
        // for PDFs does not exist here and keeps its code 0.
        const QString name = shellDependencyName(path);
        *message = QStringLiteral("%4 is not installed, so this file cannot be printed. Install %4 and "
                                  "try again.（printto=%1，print=%2，WPS=%3）")
                       .arg(ErrorNoAssociation)
                       .arg(ErrorNoAssociation)
                       .arg(0)
                       .arg(name);
        return false;
    }
    // What goes wrong from here is said as it is: a document LibreOffice
    // cannot read, a printer that refuses the job.
    return printWithLibreOffice(
        path, printRequest(printerName, duplex, shortEdge, color, paperKey, copies, useDriverSettings), pages,
        message, note);
}
