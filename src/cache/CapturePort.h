#pragma once

#include <QString>

// The capture port a temporary printer writes into: a ".prn.tmp" file in
// the cache folder, recorded as a port before the printer is made.

// "AddPort" or "DeletePort" for the port, for the invoking user. True when
// the port now exists (added, or already there) or no longer exists
// (deleted, or never known).
bool xcvPortCommand(const QString &command, const QString &portName);

// Adds the port through the program started again elevated, in helper
// mode. The error says why not: a declined approval prompt, or a helper
// that could not be started or failed.
bool runElevatedPortHelper(const QString &portName, QString *error = nullptr);

// Deletes the capture ports inside cacheRoot that no printer uses any more
// (left by a capture that was killed). When the printers cannot be listed,
// every port is kept.
void removeStaleCapturePorts(const QString &cacheRoot);

// The program that elevates ("pkexec"), its time limit, and the program it
// starts (this program); tests put stand-ins here.
void setElevation(const QString &elevator, const QString &program, int timeLimitMs);
