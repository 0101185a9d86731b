#pragma once

#include "platform/DeviceMode.h"

#include <QByteArray>
#include <QString>

// The user's CUPS options file (~/.cups/lpoptions): per-destination default
// options and the user's default destination. Every CUPS client honours it.
//
// It is changed by rewriting only the lines of one destination, and restored
// by putting back that destination's exact lines saved before (re-saving
// through libcups would drop comments and reorder lines). Every other line
// stays as it is now, so changes made meanwhile to other destinations or to
// the default survive a restore.
namespace Platform {

// Held for one read-modify-write of the file, across threads and processes
// (an advisory lock on a file beside it). Nests on one thread.
class LpOptionsLock
{
public:
    LpOptionsLock();
    ~LpOptionsLock();
    LpOptionsLock(const LpOptionsLock &) = delete;
    LpOptionsLock &operator=(const LpOptionsLock &) = delete;

    // False (last error set) when the lock could not be had in time.
    bool isLocked() const { return m_locked; }

private:
    bool m_locked = false;
};

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

// One destination's own lines (not its instances'), byte for byte.
struct LpOptionsLines
{
    bool fileExisted = false;
    QList<QByteArray> lines;

    bool operator==(const LpOptionsLines &) const = default;
};

QList<QByteArray> destinationLines(const QByteArray &file, const QString &destination);
// The file with the destination's lines replaced by the given ones, where
// its first line was (at the end when it had none). Whether the
// destination is the default stays as the file says now.
QByteArray withDestinationLines(const QByteArray &file, const QString &destination,
                                const QList<QByteArray> &lines);
// Two sets of lines that differ at most in the default mark.
bool sameDestinationOptions(const QList<QByteArray> &a, const QList<QByteArray> &b);

// Under the lock: the file with the destination's saved lines put back; a
// file that did not exist and holds nothing else is removed again.
bool restoreDestinationLines(const QString &destination, const LpOptionsLines &saved);
// Under the lock: the destination's lines of the file now.
bool readDestinationLines(const QString &destination, LpOptionsLines *out);

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
