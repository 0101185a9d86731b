#pragma once

#include <QString>
#include <QStringList>

// The installed printers, in system order, each once.
QStringList installedPrinters();
// The user's default printer, or empty.
QString systemDefaultPrinter();

// The normal queue's printer after the list was rebuilt: the wanted one
// (the current choice, else the stored one, else the system default) when
// it is installed, otherwise the first printer; empty without printers.
QString normalQueuePrinter(const QStringList &printers, const QString &current,
                           const QString &stored, const QString &systemDefault);
