#include "queue/DriverProperties.h"

#include "engines/PaperKey.h"
#include "engines/PrinterDefaults.h"
#include "platform/LastError.h"
#include "platform/PrinterPropertiesDialog.h"

#include <algorithm>

namespace {

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

QString fallbackPaperName(int code)
{
    switch (code) {
    case 5: return QStringLiteral("Legal");
    case 8: return QStringLiteral("A3");
    case 1: return QStringLiteral("Letter");
    default: return QStringLiteral("A4");
    }
}

DriverValues valuesFrom(const QString &printerName, const Platform::DeviceMode &dm)
{
    DriverValues values;
    values.duplexMode = dm.dmDuplex == Platform::DMDUP_HORIZONTAL ? 2
        : dm.dmDuplex == Platform::DMDUP_VERTICAL                 ? 1
                                                                  : 0;
    values.color = dm.dmColor == Platform::DMCOLOR_COLOR;
    // The driver's own name for the paper it now uses.
    PrinterDefaults defaults;
    values.paperKey = readPrinterDefaults(printerName, &defaults, nullptr)
        ? defaults.paperKey
        : makePaperKey(dm.dmPaperSize, fallbackPaperName(dm.dmPaperSize));
    values.copies = std::clamp(int(dm.dmCopies), 1, 9999);
    return values;
}

} // namespace

bool openPrinterProperties(QWidget *parent, const QString &printerName, DriverValues *values,
                           QString *error)
{
    if (error)
        error->clear();
    const QString name = printerName.trimmed();
    if (name.isEmpty())
        return fail(error, QStringLiteral("Please select a printer first"));

    Platform::PrinterHandle printer;
    if (!Platform::openPrinter(name, &printer)) {
        return fail(error, QStringLiteral("Unable to openPrinter“%1”（error %2）")
                               .arg(name)
                               .arg(Platform::lastError()));
    }
    if (Platform::documentPropertiesSize(printer) < 1)
        return fail(error, QStringLiteral("The printer driver does not provide a properties window"));
    Platform::DeviceMode devMode;
    if (Platform::documentPropertiesRead(printer, &devMode) != Platform::IDOK)
        return fail(error, QStringLiteral("Failed to read printer driver properties"));

    const int answer = Platform::documentPropertiesPrompt(parent, printer, &devMode);
    if (answer < 0)
        return fail(error, QStringLiteral("Failed to open the printer driver properties window"));
    if (answer != Platform::IDOK)
        return false;

    if (!Platform::setPrinterInfo9(printer, devMode)) {
        return fail(error, QStringLiteral("Failed to save printer driver properties（error %1）")
                               .arg(Platform::lastError()));
    }
    *values = valuesFrom(name, devMode);
    return true;
}
