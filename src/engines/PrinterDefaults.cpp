#include "engines/PrinterDefaults.h"

#include "platform/LastError.h"
#include "platform/PaperCodes.h"

#include <QFile>

#include <algorithm>

using namespace Platform;

namespace {

void setMessage(QString *message, const QString &text)
{
    if (message)
        *message = text;
}

QString fallbackPaperName(int code)
{
    switch (code) {
    case DMPAPER_A3: return QStringLiteral("A3");
    case DMPAPER_LETTER: return QStringLiteral("Letter");
    case DMPAPER_LEGAL: return QStringLiteral("Legal");
    case DMPAPER_A5: return QStringLiteral("A5");
    default: return QStringLiteral("A4");
    }
}

struct EngineMessages
{
    const char *openFails;
    const char *cannotRead;
    const char *readFailed;
    const char *noSettings;
    const char *rejected;
    const char *cannotApply;
};

const EngineMessages &messagesFor(OverrideMessages engine)
{
    static const EngineMessages acrobat = {
        "Unable to open printer settings: ",
        "Unable to read the printer defaults: ",
        "Failed to read the printer defaults: ",
        "The printer driver did not provide DEVMODE settings",
        "The printer driver rejected the duplex or color settings",
        "Unable to apply the printer duplex or color settings",
    };
    static const EngineMessages office = {
        "Unable to open printer settings: ",
        "Unable to read the printer defaults: ",
        "Failed to read the printer defaults: ",
        "The printer driver did not provide duplex or color settings",
        "The printer driver rejected the duplex or color settings",
        "Unable to apply the printer duplex or color settings",
    };
    static const EngineMessages shellVerb = {
        "Unable to open printer settings: ",
        "Unable to read the printer defaults: ",
        "Failed to read the printer defaults: ",
        "The printer driver did not provide print settings",
        "The printer driver rejected the selected print settings",
        "Unable to apply the printer settings",
    };
    switch (engine) {
    case OverrideMessages::Acrobat: return acrobat;
    case OverrideMessages::Office: return office;
    case OverrideMessages::ShellVerb: return shellVerb;
    }
    return acrobat;
}

// Messages that end in ": " are followed by the printer's name.
QString engineMessage(const char *text, const QString &printerName)
{
    const QString message = QString::fromUtf8(text);
    return message.endsWith(QLatin1String(": ")) ? message + printerName : message;
}

} // namespace

QList<PaperOption> paperOptionsFromCapabilities(int count, const QList<quint16> &codes,
                                                const QStringList &names)
{
    QList<PaperOption> papers;
    const qsizetype usable = std::min({qsizetype(std::max(count, 0)), codes.size(), names.size()});
    for (qsizetype i = 0; i < usable; ++i) {
        QString name = names.at(i);
        const qsizetype nul = name.indexOf(QChar(u'\0'));
        if (nul >= 0)
            name.truncate(nul);
        name = name.trimmed();
        if (name.isEmpty())
            continue;
        const int code = codes.at(i);
        papers << PaperOption{code, name, makePaperKey(code, name)};
    }
    return papers;
}

bool readPrinterDefaults(const QString &printerName, PrinterDefaults *defaults, QString *message)
{
    if (printerName.trimmed().isEmpty()) {
        setMessage(message, QStringLiteral("Select a printer first."));
        return false;
    }
    PrinterHandle printer;
    if (!openPrinter(printerName, &printer)) {
        setMessage(message, QStringLiteral("Unable to open printer '%1' (error %2).")
                                .arg(printerName)
                                .arg(lastError()));
        return false;
    }
    if (documentPropertiesSize(printer) < 1) {
        setMessage(message,
                   QStringLiteral("The selected printer driver does not expose DEVMODE settings."));
        return false;
    }
    DeviceMode dm;
    if (documentPropertiesRead(printer, &dm) != IDOK) {
        setMessage(message, QStringLiteral("Unable to read the selected printer driver's defaults."));
        return false;
    }

    defaults->duplexMode = dm.dmDuplex == DMDUP_HORIZONTAL ? 2 : dm.dmDuplex == DMDUP_VERTICAL ? 1 : 0;
    defaults->color = dm.dmColor == DMCOLOR_COLOR;
    defaults->copies = std::clamp(int(dm.dmCopies), 1, 9999);

    defaults->papers.clear();
    QList<quint16> codes;
    QStringList names;
    const int count = deviceCapabilitiesPapers(printerName, &codes);
    if (count > 0) {
        deviceCapabilitiesPaperNames(printerName, &names);
        defaults->papers = paperOptionsFromCapabilities(count, codes, names);
    }

    QString currentName;
    for (const PaperOption &option : defaults->papers) {
        if (option.code == dm.dmPaperSize) {
            currentName = option.name;
            break;
        }
    }
    if (currentName.isEmpty())
        currentName = fallbackPaperName(dm.dmPaperSize);
    defaults->paperKey = makePaperKey(dm.dmPaperSize, currentName);
    if (defaults->papers.isEmpty())
        defaults->papers << PaperOption{dm.dmPaperSize, currentName, defaults->paperKey};
    return true;
}

DeviceModeSettings deviceModeSettings(int copies, bool duplex, bool shortEdge, bool color,
                                      const PaperKey &paperKey, bool useDriverSettings)
{
    return {copies, !duplex ? 0 : shortEdge ? 2 : 1, color, paperKey, useDriverSettings};
}

void writeSettingsToDeviceMode(DeviceMode *devMode, const DeviceModeSettings &settings)
{
    devMode->dmCopies = short(std::clamp(settings.copies, 1, 9999));
    devMode->dmFields |= DM_COPIES;
    if (settings.useDriverSettings)
        return;
    devMode->dmColor = settings.color ? DMCOLOR_COLOR : DMCOLOR_MONOCHROME;
    devMode->dmDuplex = settings.duplexMode == 2   ? DMDUP_HORIZONTAL
                        : settings.duplexMode == 1 ? DMDUP_VERTICAL
                                                   : DMDUP_SIMPLEX;
    devMode->dmFields |= DM_COLOR | DM_DUPLEX;
    applyPaperKey(devMode, settings.paperKey);
}

void forceResolution(DeviceMode *devMode, int dpi)
{
    if (dpi <= 0)
        return;
    devMode->dmPrintQuality = dpi;
    devMode->dmYResolution = dpi;
    devMode->dmFields |= DM_PRINTQUALITY | DM_YRESOLUTION;
}

QString paperSubstitutionNote(const DeviceMode &merged)
{
    if (merged.substitutedPaper.isEmpty())
        return QString();
    return QStringLiteral("printed on %1: the printer has no %2")
        .arg(paperDisplayName(merged.dmFormName), paperDisplayName(merged.substitutedPaper));
}

bool isPaperOffered(const QString &printerName, const PaperKey &key, QString *reason)
{
    if (paperCodeForKey(key) <= 0)
        return true;
    PrinterHandle printer;
    DeviceMode devMode;
    if (!openPrinter(printerName, &printer) || documentPropertiesRead(printer, &devMode) != IDOK)
        return true; // the print itself says why the printer cannot be used
    applyPaperKey(&devMode, key);
    if (documentPropertiesMerge(printer, &devMode) != IDOK || devMode.substitutedPaper.isEmpty())
        return true;
    *reason = QStringLiteral("The printer %1 has no %2 paper (it would print on %3), so nothing was sent.")
                  .arg(printerName, paperDisplayName(devMode.substitutedPaper),
                       paperDisplayName(devMode.dmFormName));
    return false;
}

bool overridePrinterDefaults(const QString &printerName, const DeviceModeSettings &settings,
                             OverrideMessages engine, PrinterDefaultsOverride *override,
                             QString *message)
{
    restorePrinterDefaults(override);
    restoreAbandonedPrinterDefaults();
    const EngineMessages &texts = messagesFor(engine);

    PrinterHandle printer;
    if (!openPrinter(printerName, &printer)) {
        setMessage(message, withLastErrorReason(engineMessage(texts.openFails, printerName)));
        return false;
    }
    // Reading, journalling and writing the user's options is one step for
    // every other thread and program that keeps the same lock.
    const LpOptionsLock lock;
    if (!lock.isLocked() || printerInfo9Size(printer) == 0) {
        setMessage(message, engineMessage(texts.cannotRead, printerName));
        return false;
    }
    PrinterInfo9 current;
    if (!getPrinterInfo9(printer, &current)) {
        setMessage(message, engineMessage(texts.readFailed, printerName));
        return false;
    }
    if (!current.devMode) {
        setMessage(message, engineMessage(texts.noSettings, printerName));
        return false;
    }

    DeviceMode working = *current.devMode;
    writeSettingsToDeviceMode(&working, settings);
    if (documentPropertiesMerge(printer, &working) != IDOK) {
        setMessage(message, engineMessage(texts.rejected, printerName));
        return false;
    }
    OverrideJournal::Entry journal;
    if (!OverrideJournal::begin(printer.name(), printerInfo9File(printer, working), &journal)) {
        setMessage(message, engineMessage(texts.cannotApply, printerName));
        return false;
    }
    if (!setPrinterInfo9(printer, working)) {
        QFile::remove(journal.file);
        setMessage(message, engineMessage(texts.cannotApply, printerName));
        return false;
    }
    override->m_printer = std::move(printer);
    override->m_journal = journal;
    override->m_active = true;
    return true;
}

bool restorePrinterDefaults(PrinterDefaultsOverride *override)
{
    if (!override->m_active)
        return true;
    override->m_active = false;
    const bool restored = OverrideJournal::finish(override->m_journal);
    closePrinter(&override->m_printer);
    return restored;
}

int restoreAbandonedPrinterDefaults()
{
    return OverrideJournal::restoreAbandoned();
}

bool DefaultPrinterSwitch::switchTo(const QString &printerName)
{
    restore();
    const LpOptionsLock lock;
    SavedDefaultPrinter saved;
    if (!lock.isLocked() || !saveDefaultPrinter(&saved)
        || !OverrideJournal::beginDefaultSwitch(printerName, saved, &m_journal))
        return false;
    if (!setDefaultPrinter(printerName)) {
        QFile::remove(m_journal.file);
        return false;
    }
    m_active = true;
    return true;
}

void DefaultPrinterSwitch::restore()
{
    if (m_active)
        OverrideJournal::finish(m_journal);
    m_active = false;
}

PrinterDefaultsOverride::~PrinterDefaultsOverride()
{
    restorePrinterDefaults(this);
}
