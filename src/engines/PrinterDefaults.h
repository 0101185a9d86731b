#pragma once

#include "engines/OverrideJournal.h"
#include "engines/PaperKey.h"
#include "platform/Spooler.h"

#include <QList>
#include <QString>

// What a printer's driver uses by default, and the papers it offers.
struct PrinterDefaults
{
    int duplexMode = 0; // 0 one-sided, 1 long edge, 2 short edge
    bool color = false;
    int copies = 1;
    PaperKey paperKey; // always "win:<code>:<name>"
    QList<PaperOption> papers;
};

bool readPrinterDefaults(const QString &printerName, PrinterDefaults *defaults,
                         QString *message);

// The driver's paper list from its three answers (count, codes, names),
// which need not agree: the shortest wins, blank names are dropped.
QList<PaperOption> paperOptionsFromCapabilities(int count, const QList<quint16> &codes,
                                                const QStringList &names);

// The settings an engine writes into a settings record.
struct DeviceModeSettings
{
    int copies = 1;
    int duplexMode = 0;
    bool color = false;
    PaperKey paperKey;
    bool useDriverSettings = false;
};

// A job's settings as a settings record takes them (duplex mode from the
// duplex and short-edge flags).
DeviceModeSettings deviceModeSettings(int copies, bool duplex, bool shortEdge, bool color,
                                      const PaperKey &paperKey, bool useDriverSettings);

// Copies always (clamped to 1..9999); colour, duplex and paper only when the
// driver's own settings are not to be used.
void writeSettingsToDeviceMode(Platform::DeviceMode *devMode, const DeviceModeSettings &settings);
// A resolution in dpi to print at, when above 0 (the driver's own otherwise).
void forceResolution(Platform::DeviceMode *devMode, int dpi);

// "printed on A4: the printer has no A3" when the merge put the printer's
// default paper in place of the one asked for; empty otherwise.
QString paperSubstitutionNote(const Platform::DeviceMode &merged);
// Whether the printer offers the paper a key names ("driver-default" always
// is); false with the reason when the printer would swap it for another.
bool isPaperOffered(const QString &printerName, const PaperKey &key, QString *reason);

// Which engine's messages an override reports with.
enum class OverrideMessages { Acrobat, Office, ShellVerb };

// A printer's per-user defaults replaced for one print. The destructor
// restores them if restorePrinterDefaults() has not run yet. What is needed
// to restore them is kept on disk until then, so a crash cannot leave the
// override in place for good (restoreAbandonedPrinterDefaults()).
class PrinterDefaultsOverride
{
public:
    PrinterDefaultsOverride() = default;
    ~PrinterDefaultsOverride();
    PrinterDefaultsOverride(const PrinterDefaultsOverride &) = delete;
    PrinterDefaultsOverride &operator=(const PrinterDefaultsOverride &) = delete;

    bool isActive() const { return m_active; }

private:
    friend bool overridePrinterDefaults(const QString &, const DeviceModeSettings &,
                                        OverrideMessages, PrinterDefaultsOverride *, QString *);
    friend bool restorePrinterDefaults(PrinterDefaultsOverride *);

    Platform::PrinterHandle m_printer;
    OverrideJournal::Entry m_journal;
    bool m_active = false;
};

// Replaces the printer's per-user defaults with the settings, as merged by
// the driver. On failure nothing has changed and message says why.
bool overridePrinterDefaults(const QString &printerName, const DeviceModeSettings &settings,
                             OverrideMessages messages, PrinterDefaultsOverride *override,
                             QString *message);
// Puts back exactly that printer's lines as they were before; every other
// setting stays as it is now. False when it could not: the restore is then
// tried again by restoreAbandonedPrinterDefaults().
bool restorePrinterDefaults(PrinterDefaultsOverride *override);

// Puts back the overrides that a program which ended without restoring
// left behind. Run at start-up and before every override.
int restoreAbandonedPrinterDefaults();

// The user's default printer made another for one print (an application
// that prints to the default printer), journaled like an override: put
// back when this goes away, or at the next start after a kill. A choice of
// default the user made meanwhile stays.
class DefaultPrinterSwitch
{
public:
    DefaultPrinterSwitch() = default;
    ~DefaultPrinterSwitch() { restore(); }
    DefaultPrinterSwitch(const DefaultPrinterSwitch &) = delete;
    DefaultPrinterSwitch &operator=(const DefaultPrinterSwitch &) = delete;

    // False when the user's choice cannot be saved or the switch made:
    // nothing has changed then.
    bool switchTo(const QString &printerName);
    void restore();

private:
    OverrideJournal::Entry m_journal;
    bool m_active = false;
};
