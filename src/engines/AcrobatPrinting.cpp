#include "engines/AcrobatPrinting.h"

#include "engines/ComCalls.h"
#include "engines/PrinterDefaults.h"
#include "platform/Spooler.h"

#include <QFileInfo>
#include <QMutex>
#include <QScopeGuard>

#include <algorithm>

using namespace Platform;

namespace {

// Acrobat prints of this process, one at a time: the default printer and the
// per-user defaults are the whole user's.
QMutex s_acrobatLock;

// The silent print itself, between creating Acrobat and telling it to exit.
bool printOpenedDocument(const AutomationObjectPtr &app, const AutomationObjectPtr &view,
                         const QString &pdfPath, int *pages, QString *message)
{
    const QFileInfo file(pdfPath);
    QVariant opened;
    if (!invokeAcrobatMethod(view, QStringLiteral("Open"), &opened,
                             {file.absoluteFilePath(), file.fileName()}, message)
        || opened.typeId() != QMetaType::Bool || !opened.toBool()) {
        if (message->isEmpty())
            *message = QStringLiteral("Adobe Acrobat could not open the PDF file");
        invokeAcrobatMethod(app, QStringLiteral("Exit"), nullptr, {}, nullptr);
        return false;
    }
    const auto closeAndExit = qScopeGuard([&] {
        invokeAcrobatMethod(view, QStringLiteral("Close"), nullptr, {true}, nullptr);
        invokeAcrobatMethod(app, QStringLiteral("Exit"), nullptr, {}, nullptr);
    });
    QVariant document;
    if (!invokeAcrobatMethod(view, QStringLiteral("GetPDDoc"), &document, {}, message))
        return false;
    const AutomationObjectPtr pdDoc = objectFromVariant(document);
    if (!pdDoc)
        return false;
    QVariant count;
    if (!invokeAcrobatMethod(pdDoc, QStringLiteral("GetNumPages"), &count, {}, message)
        || count.typeId() != QMetaType::Int || count.toInt() < 1)
        return false;
    const int pageCount = count.toInt();
    QVariant printed;
    const bool ok = invokeAcrobatMethod(view, QStringLiteral("PrintPagesSilent"), &printed,
                                        {0, pageCount - 1, 2, 1, 1}, message)
        && printed.typeId() == QMetaType::Bool && printed.toBool();
    if (!ok) {
        if (message->isEmpty())
            *message = QStringLiteral("Adobe Acrobat COM silent printing failed");
        return false;
    }
    *pages = pageCount;
    return true;
}

} // namespace

bool printPdfWithAcrobat(const QString &pdfPath, const QString &printerName, bool duplex,
                         bool shortEdge, bool color, const PaperKey &paperKey, int copies,
                         bool useDriverSettings, int *pagesPrinted, QString *message)
{
    int pages = 0;
    QString text;
    const auto finish = [&](bool ok) {
        if (pagesPrinted)
            *pagesPrinted = ok ? pages : 0;
        if (message)
            *message = ok ? QString() : text;
        return ok;
    };
    if (pagesPrinted)
        *pagesPrinted = 0;
    // The automation layer here has no apartments to enter.
    const QMutexLocker lock(&s_acrobatLock);

    // The user's own default choice, exactly: a user without one (the
    // scheduler's default applies) is left without one afterwards too. What
    // cannot be saved is not changed. Put back last, after the printer's
    // own defaults (the override goes first), on every path.
    DefaultPrinterSwitch defaultPrinter;
    if (!defaultPrinter.switchTo(printerName)) {
        text = QStringLiteral("Unable to set the Acrobat default printer to: ") + printerName;
        return finish(false);
    }
    PrinterDefaultsOverride override;
    if (!overridePrinterDefaults(printerName,
                                 deviceModeSettings(copies, duplex, shortEdge, color, paperKey,
                                                    useDriverSettings),
                                 OverrideMessages::Acrobat, &override, &text))
        return finish(false);

    AutomationObjectPtr app;
    AutomationObjectPtr view;
    if (!createAcrobatObject(QStringLiteral("AcroExch.App"), &app, &text)
        || !createAcrobatObject(QStringLiteral("AcroExch.AVDoc"), &view, &text))
        return finish(false);
    invokeAcrobatMethod(app, QStringLiteral("Hide"), nullptr, {}, nullptr);
    const bool ok = printOpenedDocument(app, view, pdfPath, &pages, &text);
    restorePrinterDefaults(&override);
    return finish(ok);
}
