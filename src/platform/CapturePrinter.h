#pragma once

#include "platform/Spooler.h"

#include <QList>
#include <QString>

// The temporary printer of a capture, in the shape of AddPrinterW,
// EnumPrintersW level 2, EnumJobsW, SetPrinterW PRINTER_CONTROL_PURGE and
// DeletePrinter, on CUPS queues. Failing calls set the last error.
namespace Platform {

struct PrinterPort
{
    QString printerName;
    QString port; // a capture port's path, or the device URI of any other queue
    qint64 changedAt = 0; // last configuration change, seconds since the epoch
};

// One job of a queue: its id, and whether it is still to be done or ended
// completed, or ended otherwise (cancelled, aborted).
struct PrinterJob
{
    enum class State { Active, Completed, Failed };
    int id = 0;
    State state = State::Active;
};

// Every local queue with its port.
bool enumPrinterPorts(QList<PrinterPort> *printers);

// Adds a queue that writes its jobs into a capture port, with the driver
// description of the template printer (its defaults included), or none when
// the template has none. Not shared, accepting jobs from this user only,
// and a failed job is dropped rather than stopping the queue.
bool addCapturePrinter(const QString &name, const QString &port, PrinterHandle &templatePrinter);

// Every job the queue has had (EnumJobsW); false when it cannot be asked.
bool printerJobs(const QString &name, QList<PrinterJob> *jobs);

bool purgePrinter(const QString &name);
bool deletePrinter(const QString &name);

} // namespace Platform
