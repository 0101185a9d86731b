#pragma once

#include <QPageSize>
#include <QString>

namespace Platform {
struct DeviceMode;
}

// The text that names a paper everywhere: "driver-default", a standard name
// ("A4", "Letter", ...), or "win:<code>:<name>" for a paper the driver reports.
using PaperKey = QString;

inline constexpr char kDriverDefaultPaper[] = "driver-default";

// One paper a driver offers.
struct PaperOption
{
    int code = 0;
    QString name;
    PaperKey key;
};

// The driver paper code of a key: 0 for "driver-default", A4 (9) for
// anything that is not a known form.
int paperCodeForKey(const PaperKey &key);
// Writes the key's paper into the record when it names one (code above 0).
void applyPaperKey(Platform::DeviceMode *devMode, const PaperKey &key);
// The page size for painting; "driver-default" and unknown codes give A4.
QPageSize pageSizeForKey(const PaperKey &key);
// What the user sees for a key.
QString paperKeyLabel(const PaperKey &key);
// "win:<code>:<trimmed name>".
PaperKey makePaperKey(int code, const QString &name);
