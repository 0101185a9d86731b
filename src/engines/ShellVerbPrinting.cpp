#include "engines/ShellVerbPrinting.h"

#include "engines/FileTypes.h"
#include "engines/LibreOffice.h"
#include "engines/OfficeSuites.h"
#include "engines/PrinterDefaults.h"
#include "platform/DesktopShell.h"
#include "platform/LastError.h"
#include "platform/Spooler.h"

#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <algorithm>

using namespace Platform;

namespace {

// Shell-verb prints of this process, one at a time: the default printer and
// the per-user defaults are the whole user's.
QMutex s_shellLock;

bool isLibreOfficeProgram(const QString &program)
{
    static const QRegularExpression names(
        QStringLiteral("^(soffice(\\.bin)?|libreoffice[0-9.]*|lo(writer|calc|impress|draw|math|base))$"));
    return names.match(QFileInfo(program).fileName()).hasMatch();
}

QString unquoted(QString text)
{
    text = text.trimmed();
    if (text.size() >= 2 && text.startsWith(QLatin1Char('"')) && text.endsWith(QLatin1Char('"')))
        text = text.mid(1, text.size() - 2);
    return text;
}

} // namespace

QString shellDependencyName(const QString &path)
{
    return lowerSuffix(path) == QLatin1String("caj")
        ? QStringLiteral("WPS PDF, CAJViewer, or another reader that can print CAJ files")
        : QStringLiteral("LibreOffice"); // the office suites of Windows cannot be installed here
}

bool runShellVerb(const QString &path, const QString &verb, const QString &parameters,
                  quint32 *error)
{
    *error = 0;
    // The desktop declares print commands only through LibreOffice's own
    // entries. Its print sends nothing on this platform, so its PDF of the
    // file goes to the printer, with the printer's per-user defaults.
    const QString program = defaultApplicationProgram(path);
    if (program.isEmpty() || !isLibreOfficeProgram(program)) {
        *error = ErrorNoAssociation;
        return false;
    }
    QString printer = unquoted(parameters);
    if (verb == QLatin1String("print") && !getDefaultPrinter(&printer)) {
        *error = lastError();
        return false;
    }
    const QTemporaryDir work;
    const QString pdf = work.filePath(QStringLiteral("document.pdf"));
    QString message;
    int job = 0;
    // The application is there but could not read the file: say so in the
    // code rather than claim it is missing.
    if (!work.isValid() || !convertWithLibreOffice(path, pdf, &message)) {
        *error = work.isValid() ? ErrorInvalidData : ErrorPathNotFound;
        return false;
    }
    if (!printPdfWithDefaults(printer, pdf, QFileInfo(path).fileName(), &job)) {
        *error = lastError();
        return false;
    }
    return true;
}

bool printWithShellVerb(const QString &path, const QString &printerName, bool duplex,
                        bool shortEdge, bool color, const PaperKey &paperKey, int copies,
                        bool useDriverSettings, int *pages, QString *message)
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
    const QMutexLocker lock(&s_shellLock);
    SavedDefaultPrinter savedDefault;
    PrinterHandle printer;
    if (!saveDefaultPrinter(&savedDefault) || !openPrinter(printerName, &printer)) {
        *message = QStringLiteral("Unable to open printer settings: ") + printerName;
        return false;
    }
    if (!setDefaultPrinter(printerName)) {
        *message = QStringLiteral("Unable to temporarily select the default printer: ") + printerName;
        return false;
    }
    const auto restoreDefault = qScopeGuard([&] { restoreDefaultPrinter(savedDefault); });
    PrinterDefaultsOverride override;
    if (!overridePrinterDefaults(printerName,
                                 deviceModeSettings(copies, duplex, shortEdge, color, paperKey,
                                                    useDriverSettings),
                                 OverrideMessages::ShellVerb, &override, message))
        return false;

    quint32 printtoError = 0;
    quint32 printError = 0;
    // The registered WPS print command for PDFs does not exist here: that
    // attempt finds nothing and keeps its code 0.
    const quint32 wpsError = 0;
    const bool ok = runShellVerb(path, QStringLiteral("printto"),
                                 QStringLiteral("\"%1\"").arg(printerName), &printtoError)
        || runShellVerb(path, QStringLiteral("print"), QString(), &printError);
    restorePrinterDefaults(&override);
    if (!ok) {
        const QString name = shellDependencyName(path);
        *message = QStringLiteral("%4 is not installed, so this file cannot be printed. Install %4 and "
                                  "try again.（printto=%1，print=%2，WPS=%3）")
                       .arg(printtoError)
                       .arg(printError)
                       .arg(wpsError)
                       .arg(name);
        return false;
    }
    *pages = 1;
    return true;
}
