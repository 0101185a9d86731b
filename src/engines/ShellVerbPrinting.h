#pragma once

#include "engines/PaperKey.h"

#include <QString>

// Files printed by the application the desktop has for their type (CAJ
// files, and OpenDocument files no office suite takes). Here only LibreOffice
// can print for a program without a window: a type it reads (its own
// OpenDocument types, whether or not the desktop names it for them) is
// turned into its PDF, which the built-in engine prints with the job's
// settings. Anything else has no application to print it (1155).
bool printWithShellVerb(const QString &path, const QString &printerName, bool duplex,
                        bool shortEdge, bool color, const PaperKey &paperKey, int copies,
                        bool useDriverSettings, int *pages, QString *message, QString *note = nullptr);

// Whether an application that can print the file for a program exists here.
bool hasPrintingApplication(const QString &path);

// Who to install, as the not-installed message names it.
QString shellDependencyName(const QString &path);
