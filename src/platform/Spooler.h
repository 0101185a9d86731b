#pragma once

#include "platform/DeviceMode.h"
#include "platform/LpOptions.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>

// The printer side of the spooler, in the shape the print engines call it
// (OpenPrinter, DocumentProperties, DeviceCapabilities, Get/SetPrinter level
// 9, the default printer), on CUPS destinations. Failing calls set the last
// error (LastError.h).
namespace Platform {

inline constexpr int IDOK = 1;

// One medium a printer offers.
struct PrinterMedia
{
    short code = 0;  // DMPAPER number, or a stable code >= 256
    QString pwgName; // "iso_a4_210x297mm"
    QString name;    // as the printer names it ("A4", "US Letter")
};

// An open printer (OpenPrinterW). Closes itself; move-only.
class PrinterHandle
{
public:
    PrinterHandle();
    ~PrinterHandle();
    PrinterHandle(PrinterHandle &&) noexcept;
    PrinterHandle &operator=(PrinterHandle &&) noexcept;

    bool isOpen() const;
    QString name() const;

    struct State;
    State *state() const { return m_state.get(); }

private:
    friend bool openPrinter(const QString &name, PrinterHandle *handle);
    std::unique_ptr<State> m_state;
};

// A name that is not a destination fails with ErrorInvalidPrinterName; a
// scheduler that does not answer (down, or stuck) with ErrorServerUnavailable.
// "Printer/instance" names an instance.
bool openPrinter(const QString &name, PrinterHandle *handle);

// While a scope lasts, a closed printer stays open, and the next
// openPrinter of that name (on any thread) gets it back: its connection,
// destination, capabilities and driver description. A batch pays a
// printer's set-up once. A printer whose request failed is not kept, nor is
// one taken again once its configuration or the options files changed since
// it was opened. Scopes nest; the last one closes what is kept.
class PrinterReuseScope
{
public:
    PrinterReuseScope();
    ~PrinterReuseScope();
    PrinterReuseScope(const PrinterReuseScope &) = delete;
    PrinterReuseScope &operator=(const PrinterReuseScope &) = delete;
};

// The installed printers in the scheduler's order, instances as
// "Printer/instance" (the list the toolkit shows). False when the scheduler
// does not answer.
bool printerNames(QStringList *names);

// How long any request waits for the scheduler to answer (15 s unless set).
void setSchedulerTimeout(int milliseconds);
void closePrinter(PrinterHandle *handle);

// DocumentPropertiesW with no buffers: above 0 when the printer has settings
// to read, -1 otherwise.
int documentPropertiesSize(PrinterHandle &printer);
// DM_OUT_BUFFER: the destination's defaults overlaid with the user's
// options. IDOK or -1.
int documentPropertiesRead(PrinterHandle &printer, DeviceMode *out);
// DM_IN_BUFFER | DM_OUT_BUFFER: like a driver, adjusts what the printer
// cannot do to what it can (no duplexer: simplex; no colour: monochrome;
// unknown medium: its default) and answers IDOK; -1 only for values that
// mean nothing (a duplex or colour code out of range, a paper code of no
// known size).
int documentPropertiesMerge(PrinterHandle &printer, DeviceMode *inOut);

// DeviceCapabilitiesW DC_PAPERS / DC_PAPERNAMES: the count, or -1.
int deviceCapabilitiesPapers(const QString &printer, QList<quint16> *codes);
int deviceCapabilitiesPaperNames(const QString &printer, QStringList *names);
// Both at once, for callers that need the media names too.
bool printerMedia(PrinterHandle &printer, QList<PrinterMedia> *media);

// GetPrinterW / SetPrinterW level 9: the user's default settings of one
// printer. The saved copy is that printer's own lines of the user's options
// file, byte for byte; restoring it leaves every other line as it is then.
// Each read-modify-write holds the options file's lock.
struct PrinterInfo9
{
    std::optional<DeviceMode> devMode;
    LpOptionsLines saved;
};

// 0 when the user's options cannot be read (unreadable, too large).
int printerInfo9Size(PrinterHandle &printer);
bool getPrinterInfo9(PrinterHandle &printer, PrinterInfo9 *out);
bool setPrinterInfo9(PrinterHandle &printer, const DeviceMode &devMode);
bool restorePrinterInfo9(PrinterHandle &printer, const PrinterInfo9 &saved);
// The user's options file as setPrinterInfo9 would leave it now (the
// caller holds the options file's lock).
QByteArray printerInfo9File(PrinterHandle &printer, const DeviceMode &devMode);

// GetDefaultPrinterW / SetDefaultPrinterW (the user's default destination).
bool getDefaultPrinter(QString *name);
bool setDefaultPrinter(const QString &name);

// The user's own choice of default printer exactly as the options file
// holds it (none when the scheduler's default applies), to be put back byte
// for byte after the default was changed for one print.
struct SavedDefaultPrinter
{
    bool fileExisted = false;
    QString userDefault;
    QByteArray file; // as it was, to tell which lines the change added
};
bool saveDefaultPrinter(SavedDefaultPrinter *saved);
bool restoreDefaultPrinter(const SavedDefaultPrinter &saved);

// The CUPS job options that carry a settings record to this printer.
OptionList cupsOptionsFor(PrinterHandle &printer, const DeviceMode &devMode);

} // namespace Platform
