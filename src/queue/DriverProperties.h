#pragma once

#include <QString>

class QWidget;

// What one round trip through a printer's properties window leaves: the
// values the program records for new rows of the normal queue, or syncs a
// hot-folder preset from.
struct DriverValues
{
    int duplexMode = 0; // 0 simplex, 1 long edge, 2 short edge
    bool color = false;
    QString paperKey = QStringLiteral("A4");
    int copies = 1;
};

// Shows the printer's properties window, owned by parent, and stores what
// the user confirmed as the printer's per-user defaults, which every later
// print to it then uses. False with an empty error when the window was
// cancelled; on any failure the user's printer defaults are unchanged.
bool openPrinterProperties(QWidget *parent, const QString &printerName, DriverValues *values,
                           QString *error);
