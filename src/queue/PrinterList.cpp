#include "queue/PrinterList.h"

#include "platform/Spooler.h"

QStringList installedPrinters()
{
    // Asked over a bounded connection: a stuck scheduler gives no printers
    // rather than a window that never appears.
    QStringList printers;
    Platform::printerNames(&printers);
    printers.removeDuplicates();
    return printers;
}

QString systemDefaultPrinter()
{
    QString name;
    Platform::getDefaultPrinter(&name);
    return name;
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
