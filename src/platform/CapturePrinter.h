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
};

// Every local queue with its port.
bool enumPrinterPorts(QList<PrinterPort> *printers);

// Adds a queue that writes its jobs into a capture port, with the driver
// description of the template printer (its defaults included), or none when
// the template has none. Not shared, accepting jobs, and a failed job is
// dropped rather than stopping the queue.
bool addCapturePrinter(const QString &name, const QString &port, PrinterHandle &templatePrinter);

// Whether the queue holds a job not yet done; false also when it cannot be
// asked.
bool printerHasJobs(const QString &name);

bool purgePrinter(const QString &name);
bool deletePrinter(const QString &name);

} // namespace Platform
