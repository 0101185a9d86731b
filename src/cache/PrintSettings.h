#pragma once

#include <QString>

// The print settings a print cache is made for and matched against.
// Copies are not part of it.
struct PrintSettings
{
    QString printerName;
    bool duplex = false;
    bool shortEdge = false;
    bool color = false;
    QString paperSize = QStringLiteral("A4");
    bool useDriverSettings = false;
    int resolutionDpi = 0;
    bool preferAcrobat = false;
    int hotFolderId = 0;

    bool operator==(const PrintSettings &) const = default;
};
