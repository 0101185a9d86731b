#include "queue/PrinterList.h"

#include <QPrinterInfo>

QStringList installedPrinters()
{
    QStringList printers = QPrinterInfo::availablePrinterNames();
    printers.removeDuplicates();
    return printers;
}

QString normalQueuePrinter(const QStringList &printers, const QString &current,
                           const QString &stored, const QString &systemDefault)
{
    QString wanted = current;
    if (wanted.isEmpty())
        wanted = stored;
    if (wanted.isEmpty())
        wanted = systemDefault;
    if (printers.contains(wanted, Qt::CaseSensitive))
        return wanted;
    return printers.isEmpty() ? QString() : printers.first();
}
