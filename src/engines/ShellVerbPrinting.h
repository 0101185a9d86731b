#pragma once

#include "engines/PaperKey.h"

#include <QString>

// Files printed by the application the desktop has for their type (CAJ
// files, and OpenDocument files no office suite takes), through its
// "printto" and "print" verbs. For the print the target printer is the
// default and carries the job's settings; both are put back on every path.
bool printWithShellVerb(const QString &path, const QString &printerName, bool duplex,
                        bool shortEdge, bool color, const PaperKey &paperKey, int copies,
                        bool useDriverSettings, int *pages, QString *message);

// One verb ("printto" with the quoted printer name, or "print") for the
// file; false with the error (1155: no application declares it).
bool runShellVerb(const QString &path, const QString &verb, const QString &parameters,
                  quint32 *error);

// Who to install, as the not-installed message names it.
QString shellDependencyName(const QString &path);
