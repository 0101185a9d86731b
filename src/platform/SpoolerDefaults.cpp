// The user's per-printer defaults and default printer, kept in lpoptions.

#include "platform/SpoolerState.h"

#include "platform/LastError.h"

namespace Platform {

namespace {

QString sidesKeyword(short duplex)
{
    switch (duplex) {
    case DMDUP_VERTICAL: return QStringLiteral("two-sided-long-edge");
    case DMDUP_HORIZONTAL: return QStringLiteral("two-sided-short-edge");
    default: return QStringLiteral("one-sided");
    }
}

} // namespace

OptionList cupsOptionsFor(PrinterHandle &printer, const DeviceMode &dm)
{
    OptionList fields;
    QStringList replaced;
    const auto add = [&](quint32 field, const QString &key, const QString &value) {
        if (!dm.has(field) || value.isEmpty())
            return;
        fields << qMakePair(key, value);
        // Whatever the user had for the same thing under another name
        // would contradict it.
        replaced << optionKeysFor(field);
    };
    add(DM_COPIES, QStringLiteral("copies"), QString::number(dm.dmCopies));
    add(DM_DUPLEX, QStringLiteral("sides"), sidesKeyword(dm.dmDuplex));
    add(DM_COLOR, QStringLiteral("print-color-mode"),
        dm.dmColor == DMCOLOR_COLOR ? QStringLiteral("color") : QStringLiteral("monochrome"));
    if (dm.has(DM_PAPERSIZE) && printer.isOpen())
        add(DM_PAPERSIZE, QStringLiteral("media"), mediaForRecord(printer.state(), dm));
    if (dm.dmPrintQuality > 0) {
        const int y = dm.has(DM_YRESOLUTION) && dm.dmYResolution > 0 ? dm.dmYResolution
                                                                        : dm.dmPrintQuality;
        add(DM_PRINTQUALITY, QStringLiteral("printer-resolution"),
            y == dm.dmPrintQuality ? QStringLiteral("%1dpi").arg(dm.dmPrintQuality)
                                   : QStringLiteral("%1x%2dpi").arg(dm.dmPrintQuality).arg(y));
    }

    OptionList result;
    for (const auto &option : dm.options) {
        if (!replaced.contains(option.first, Qt::CaseInsensitive))
            result << option;
    }
    return result + fields;
}

int printerInfo9Size(PrinterHandle &printer)
{
    if (!printer.isOpen()) {
        setLastError(ErrorInvalidParameter);
        return 0;
    }
    LpOptionsSnapshot saved;
    if (!readLpOptions(&saved))
        return 0;
    return int(sizeof(PrinterInfo9) + saved.bytes.size());
}

bool getPrinterInfo9(PrinterHandle &printer, PrinterInfo9 *out)
{
    *out = PrinterInfo9();
    if (!printer.isOpen()) {
        setLastError(ErrorInvalidParameter);
        return false;
    }
    if (!readDestinationLines(printer.name(), &out->saved))
        return false;
    DeviceMode dm;
    if (documentPropertiesRead(printer, &dm) == IDOK)
        out->devMode = dm;
    return true;
}

bool setPrinterInfo9(PrinterHandle &printer, const DeviceMode &dm)
{
    if (!printer.isOpen()) {
        setLastError(ErrorInvalidParameter);
        return false;
    }
    const LpOptionsLock lock;
    LpOptionsSnapshot current;
    if (!lock.isLocked() || !readLpOptions(&current))
        return false;
    return writeLpOptions(withDestinationOptions(current.bytes, printer.name(),
                                                 cupsOptionsFor(printer, dm)));
}

QByteArray printerInfo9File(PrinterHandle &printer, const DeviceMode &dm)
{
    LpOptionsSnapshot current;
    if (!printer.isOpen() || !readLpOptions(&current))
        return {};
    return withDestinationOptions(current.bytes, printer.name(), cupsOptionsFor(printer, dm));
}

bool restorePrinterInfo9(PrinterHandle &printer, const PrinterInfo9 &saved)
{
    if (!printer.isOpen()) {
        setLastError(ErrorInvalidParameter);
        return false;
    }
    return restoreDestinationLines(printer.name(), saved.saved);
}

bool getDefaultPrinter(QString *name)
{
    name->clear();
    http_t *http = connectToScheduler();
    if (!http)
        return false;
    cups_dest_t *dest = cupsGetNamedDest(http, nullptr, nullptr);
    if (dest) {
        *name = QString::fromUtf8(dest->name);
        if (dest->instance)
            *name += QLatin1Char('/') + QString::fromUtf8(dest->instance);
        cupsFreeDests(1, dest);
    } else {
        setLastErrorFromCups(ErrorFileNotFound);
        if (lastError() == ErrorInvalidPrinterName)
            setLastError(ErrorFileNotFound);
    }
    httpClose(http);
    return !name->isEmpty();
}

bool setDefaultPrinter(const QString &name)
{
    if (!name.isEmpty()) {
        PrinterHandle printer;
        if (!openPrinter(name, &printer))
            return false;
    }
    const LpOptionsLock lock;
    LpOptionsSnapshot current;
    if (!lock.isLocked() || !readLpOptions(&current))
        return false;
    return writeLpOptions(withDefaultDestination(current.bytes, name));
}

bool saveDefaultPrinter(SavedDefaultPrinter *saved)
{
    *saved = SavedDefaultPrinter();
    const LpOptionsLock lock;
    LpOptionsSnapshot current;
    if (!lock.isLocked() || !readLpOptions(&current))
        return false;
    saved->fileExisted = current.existed;
    saved->userDefault = lpOptionsDefaultDestination(current.bytes);
    saved->file = current.bytes;
    return true;
}

bool restoreDefaultPrinter(const SavedDefaultPrinter &saved)
{
    const LpOptionsLock lock;
    LpOptionsSnapshot current;
    if (!lock.isLocked() || !readLpOptions(&current))
        return false;
    QByteArray restored = withDefaultDestination(current.bytes, saved.userDefault);
    // The printer made the default for the change may have got a line just
    // to carry the mark; without options it goes again.
    const QString marked = lpOptionsDefaultDestination(current.bytes);
    if (!marked.isEmpty() && marked != saved.userDefault
        && destinationLines(saved.file, marked).isEmpty()
        && lpOptionsFor(restored, marked).isEmpty())
        restored = withDestinationLines(restored, marked, {});
    // A file made only for the change goes again.
    if (!saved.fileExisted && restored.trimmed().isEmpty())
        return restoreLpOptions(LpOptionsSnapshot());
    return restored == current.bytes || writeLpOptions(restored);
}

} // namespace Platform
