#pragma once

#include <QString>
#include <QStringList>

// Helper mode: one capture-port operation, reported through the exit code.
// The program starts itself elevated in this mode when it lacks the rights to
// add a capture port.
namespace PortHelper {

inline constexpr char kSwitch[] = "--native-port-helper";

enum ExitCode {
    Success = 0,
    MissingArguments = 10,
    EmptyPortName = 11,
    PortOutsideCache = 12,
    AddFailed = 13,
    DeleteFailed = 14,
    UnknownAction = 15,
};

// Exact, case-sensitive match at any position.
bool hasHelperSwitch(const QStringList &arguments);

// URL-safe Base64 of the UTF-8 bytes, without "=" padding: keeps spaces and
// quotes out of the command line.
QString encodePortName(const QString &portName);
QString decodePortName(const QString &encoded);

// True when portPath names a ".prn.tmp" file inside cacheRoot (at any depth).
// Both are made absolute and cleaned first, so ".." cannot climb out.
bool isCapturePortPath(const QString &portPath, const QString &cacheRoot);

// What the elevated helper allows: a capture port path as above, and what
// it names on disk is really inside the cache folder. The folder must be a
// real folder owned by the invoking user; the port's folder, with every
// link resolved, must lie inside it; the port itself must not be a link
// and, when it exists, must be a regular file. No NUL and no ".." anywhere.
bool isSafeCapturePort(const QString &portPath, const QString &cacheRoot, uint ownerUid);

// The user the helper acts for: the one pkexec reports when it runs
// elevated, else the real user.
uint invokingUserId();
// That user's cache folder, from the account's home folder; never from the
// environment, which the invoking user controls.
QString invokingUserCacheDirectory();

// Helper mode against a given cache folder and its owner.
int runPortHelper(const QStringList &arguments, const QString &cacheRoot, uint ownerUid);

} // namespace PortHelper

// Runs helper mode on the process's whole argument list; returns the exit code.
int portHelperMain(const QStringList &arguments);
