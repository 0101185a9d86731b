#include "engines/OfficeAutomation.h"

#include "engines/ComCalls.h"
#include "engines/FileTypes.h"
#include "engines/LibreOffice.h"
#include "engines/PdfiumPrinting.h"
#include "engines/OfficeSuites.h"
#include "engines/PrinterDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QScopeGuard>

#include <algorithm>

using namespace Platform;

namespace {

// Office prints of this process, one at a time: the printer's per-user
// defaults are the whole user's.
QMutex s_officeLock;

const char kNoApplication[] = "No supported document application is installed";

bool call(const AutomationObjectPtr &object, const char *member, const QVariantList &arguments,
          QString *message = nullptr, QVariant *result = nullptr)
{
    return invokeComMember(object, QString::fromLatin1(member), DispatchKind::Method, result,
                           arguments, message);
}

// One application instance, told to quit whatever happens.
struct Application
{
    AutomationObjectPtr object;
    ~Application()
    {
        if (object)
            call(object, "Quit", {});
    }
};

// A document the application opened, closed without saving whatever happens.
struct OpenedDocument
{
    AutomationObjectPtr object;
    QVariantList closeArguments;
    ~OpenedDocument()
    {
        if (object)
            call(object, "Close", closeArguments);
    }
};

// The first application of the document's class that starts.
bool startApplication(DocumentClass kind, const QString &engine, Application *app,
                      const char *missing, QString *message)
{
    if (createFirstApplication(officeProgIds(kind, engine), &app->object))
        return true;
    *message = QString::fromLatin1(missing);
    return false;
}

// No window and no questions; the printer, when one is named. Word takes
// its alert level as a number, Excel as a flag.
void quietApplication(const Application &app, const QVariant &displayAlerts,
                      const QString &printer = QString())
{
    putProperty(app.object, QStringLiteral("Visible"), false);
    putProperty(app.object, QStringLiteral("DisplayAlerts"), displayAlerts);
    if (!printer.trimmed().isEmpty())
        putProperty(app.object, QStringLiteral("ActivePrinter"), printer);
}

// The collection's Open: the document, or null (message set when the call
// itself failed).
AutomationObjectPtr openIn(const AutomationObjectPtr &application, const char *collection,
                           const QVariantList &arguments, QString *message)
{
    AutomationObjectPtr documents;
    if (!getObjectProperty(application, QString::fromLatin1(collection), &documents, message))
        return nullptr;
    QVariant opened;
    if (!call(documents, "Open", arguments, message, &opened))
        return nullptr;
    return objectFromVariant(opened);
}

bool printWordStyle(const QString &path, const QString &engine, const QString &printer, int copies,
                    int *pages, QString *message)
{
    Application app;
    if (!startApplication(DocumentClass::Writer, engine, &app, kNoApplication, message))
        return false;
    quietApplication(app, 0, printer);
    OpenedDocument document{openIn(app.object, "Documents", {path}, message), {false}};
    if (!document.object)
        return false;
    QVariant statistic;
    if (call(document.object, "ComputeStatistics", {2}, nullptr, &statistic))
        *pages = variantPageCount(statistic);
    return call(document.object, "PrintOut",
                {false, false, 0, missingArgument(), missingArgument(), missingArgument(), 0, copies},
                message);
}

bool printPowerPointStyle(const QString &path, const QString &engine, const QString &printer,
                          int copies, int *pages, QString *message)
{
    Application app;
    if (!startApplication(DocumentClass::Presentation, engine, &app, kNoApplication, message))
        return false;
    OpenedDocument presentation{openIn(app.object, "Presentations", {path, true, false, false}, message),
                                {}};
    if (!presentation.object)
        return false;
    AutomationObjectPtr slides;
    QVariant count;
    if (getObjectProperty(presentation.object, QStringLiteral("Slides"), &slides, nullptr)
        && invokeComMember(slides, QStringLiteral("Count"), DispatchKind::PropertyGet, &count, {},
                           nullptr))
        *pages = variantPageCount(count);
    AutomationObjectPtr options;
    if (!printer.trimmed().isEmpty()
        && getObjectProperty(presentation.object, QStringLiteral("PrintOptions"), &options, nullptr)) {
        putProperty(options, QStringLiteral("ActivePrinter"), printer);
        putProperty(options, QStringLiteral("NumberOfCopies"), copies);
    }
    return call(presentation.object, "PrintOut", {}, message);
}

bool printExcelStyle(const QString &path, const QString &engine, const QString &printer, int copies,
                     int *pages, QString *message)
{
    Application app;
    if (!startApplication(DocumentClass::Spreadsheet, engine, &app, kNoApplication, message))
        return false;
    quietApplication(app, false, printer);
    OpenedDocument workbook{openIn(app.object, "Workbooks", {path}, message), {false}};
    if (!workbook.object)
        return false;
    QVariant count;
    if (call(app.object, "ExecuteExcel4Macro", {QStringLiteral("GET.DOCUMENT(50)")}, nullptr, &count))
        *pages = variantPageCount(count);
    return call(workbook.object, "PrintOut", {missingArgument(), missingArgument(), copies}, message);
}

// The automation route's export: the application, the document and its
// ExportAsFixedFormat, as each kind of application takes them.
bool exportWithAutomation(const QString &source, const QString &engine, const QString &target,
                          QString *message)
{
    const QString native = QDir::toNativeSeparators(target);
    const DocumentClass kind = documentClassOf(source);
    Application app;
    const auto start = [&](const char *missing) {
        return startApplication(kind, engine, &app, missing, message);
    };
    switch (kind) {
    case DocumentClass::Writer: {
        if (!start(kNoApplication))
            return false;
        quietApplication(app, 0);
        OpenedDocument document{openIn(app.object, "Documents", {source}, message), {false}};
        return document.object && call(document.object, "ExportAsFixedFormat", {native, 17}, message);
    }
    case DocumentClass::Presentation: {
        if (!start("No supported presentation application is installed"))
            return false;
        OpenedDocument presentation{
            openIn(app.object, "Presentations", {source, true, false, false}, message), {}};
        return presentation.object
            && call(presentation.object, "ExportAsFixedFormat", {native, 2}, message);
    }
    case DocumentClass::Spreadsheet: {
        if (!start("No supported spreadsheet application is installed"))
            return false;
        quietApplication(app, false);
        OpenedDocument workbook{openIn(app.object, "Workbooks", {source}, message), {false}};
        return workbook.object && call(workbook.object, "ExportAsFixedFormat", {0, native}, message);
    }
    case DocumentClass::None: break;
    }
    *message = QStringLiteral("This document type cannot currently be converted to a print cache");
    return false;
}

} // namespace

bool takesLibreOfficeRoute(const QString &path, const QString &officeEngine)
{
    if (officeEngine == QLatin1String("libreoffice"))
        return true;
    return officeEngine == QLatin1String("auto") && !hasComApplication(path, officeEngine)
        && isLibreOfficeAvailable();
}

bool printOfficeDocument(const QString &path, const QString &officeEngine,
                         const QString &printerName, bool duplex, bool shortEdge, bool color,
                         const PaperKey &paperKey, int copies, bool useDriverSettings, int *pages,
                         QString *message, QString *note)
{
    *pages = 0;
    message->clear();
    if (takesLibreOfficeRoute(path, officeEngine)) {
        if (!isLibreOfficeAvailable()) {
            *message = QStringLiteral("LibreOffice is not installed or soffice could not be found.");
            return false;
        }
        // Its PDF printed with the job's settings: no per-user default of
        // the printer needs changing for it.
        return printWithLibreOffice(path,
                                    printRequest(printerName, duplex, shortEdge, color, paperKey, copies,
                                                 useDriverSettings),
                                    pages, message, note);
    }

    const QMutexLocker lock(&s_officeLock);
    const int clampedCopies = std::clamp(copies, 1, 9999);
    // Through automation the application makes the copies itself.
    PrinterDefaultsOverride override;
    if (!overridePrinterDefaults(printerName,
                                 deviceModeSettings(1, duplex, shortEdge, color, paperKey, useDriverSettings),
                                 OverrideMessages::Office, &override, message))
        return false;

    bool ok = false;
    switch (documentClassOf(path)) {
    case DocumentClass::Writer:
        ok = printWordStyle(path, officeEngine, printerName, clampedCopies, pages, message);
        break;
    case DocumentClass::Presentation:
        ok = printPowerPointStyle(path, officeEngine, printerName, clampedCopies, pages, message);
        break;
    case DocumentClass::Spreadsheet:
        ok = printExcelStyle(path, officeEngine, printerName, clampedCopies, pages, message);
        break;
    case DocumentClass::None:
        *message = QStringLiteral("Unsupported document type: ") + lowerSuffix(path);
        break;
    }
    restorePrinterDefaults(&override);
    if (ok)
        message->clear();
    return ok;
}

bool convertOfficeToPdf(const QString &sourcePath, const QString &officeEngine,
                        const QString &targetPdf, QString *message)
{
    message->clear();
    QFile::remove(targetPdf);
    if (takesLibreOfficeRoute(sourcePath, officeEngine))
        return convertWithLibreOffice(sourcePath, targetPdf, message);
    if (!exportWithAutomation(sourcePath, officeEngine, targetPdf, message))
        return false;
    if (QFileInfo(targetPdf).size() <= 0) {
        QFile::remove(targetPdf);
        *message = QStringLiteral("The document application did not create the intermediate PDF file");
        return false;
    }
    return true;
}
