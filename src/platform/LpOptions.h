#pragma once

#include "platform/DeviceMode.h"

#include <QByteArray>
#include <QString>

// The user's CUPS options file (~/.cups/lpoptions): per-destination default
// options and the user's default destination. Every CUPS client honours it.
//
// It is changed by rewriting only the lines of one destination, and restored
// by writing back the exact bytes saved before (re-saving through libcups
// would drop comments and reorder lines).
namespace Platform {

struct LpOptionsSnapshot
{
    bool existed = false;
    QByteArray bytes;

    bool operator==(const LpOptionsSnapshot &) const = default;
};

// Larger files are refused rather than read whole into memory.
inline constexpr qint64 kLpOptionsMaxBytes = 1024 * 1024;

QString userLpOptionsPath();

// False (with the last error set) when the file exists but cannot be read
// or is too large; a missing file is an empty snapshot.
bool readLpOptions(LpOptionsSnapshot *out);
// Writes the whole file atomically, creating ~/.cups when needed.
bool writeLpOptions(const QByteArray &bytes);
// Puts back exactly what was saved; removes a file that did not exist.
bool restoreLpOptions(const LpOptionsSnapshot &saved);

// The options of a destination's own line (no instance); later lines and
// later keys win, as in libcups.
OptionList lpOptionsFor(const QByteArray &file, const QString &destination);
// The destination on the "Default" line, or empty.
QString lpOptionsDefaultDestination(const QByteArray &file);

// The file with the destination's line replaced by (or extended with) the
// given options; every other line is kept byte for byte.
QByteArray withDestinationOptions(const QByteArray &file, const QString &destination,
                                  const OptionList &options);
// The file with the "Default" mark moved to the destination (none: removed).
QByteArray withDefaultDestination(const QByteArray &file, const QString &destination);

OptionList parseCupsOptions(const QByteArray &text);
QByteArray formatCupsOptions(const OptionList &options);

} // namespace Platform
