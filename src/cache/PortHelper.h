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

} // namespace PortHelper

// Runs helper mode on the process's whole argument list; returns the exit code.
int portHelperMain(const QStringList &arguments);
