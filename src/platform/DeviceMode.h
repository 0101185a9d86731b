#pragma once

#include <QList>
#include <QPair>
#include <QString>

// A printer's settings record, with the fields and codes of a Windows
// DEVMODE, plus the destination's other options (name, value) in their order.
// A copy is an exact copy. The paper and resolution fields are 16 bits wide
// in a DEVMODE; they are held wider here so that a value that does not fit
// is refused by the merge rather than silently cut to another value.
namespace Platform {

// dmFields bits
inline constexpr quint32 DM_COPIES = 0x00000100;
inline constexpr quint32 DM_PAPERSIZE = 0x00000002;
inline constexpr quint32 DM_COLOR = 0x00000800;
inline constexpr quint32 DM_DUPLEX = 0x00001000;
inline constexpr quint32 DM_PRINTQUALITY = 0x00000400;
inline constexpr quint32 DM_YRESOLUTION = 0x00002000;

inline constexpr short DMCOLOR_MONOCHROME = 1;
inline constexpr short DMCOLOR_COLOR = 2;

inline constexpr short DMDUP_SIMPLEX = 1;
inline constexpr short DMDUP_VERTICAL = 2;   // long edge
inline constexpr short DMDUP_HORIZONTAL = 3; // short edge

inline constexpr int CCHDEVICENAME = 32;
inline constexpr int kDevModeShortMax = 32767; // the largest value of a 16-bit field

using OptionList = QList<QPair<QString, QString>>;

struct DeviceMode
{
    QString dmDeviceName; // at most 31 characters, as Windows keeps it
    quint32 dmFields = 0;
    short dmCopies = 1;
    short dmColor = DMCOLOR_MONOCHROME;
    short dmDuplex = DMDUP_SIMPLEX;
    int dmPaperSize = 0;
    int dmPrintQuality = 0;
    int dmYResolution = 0;
    // The medium (PWG name) the paper was read as, as DEVMODE's dmFormName
    // names a form: it lets the printer take back a paper of its own
    // record that its media list lacks.
    QString dmFormName;
    OptionList options;
    // Set by the merge when the paper asked for is one the printer does not
    // offer and the printer's default took its place: the medium asked for.
    QString substitutedPaper;

    bool has(quint32 field) const { return (dmFields & field) != 0; }
    bool operator==(const DeviceMode &) const = default;
};

} // namespace Platform
