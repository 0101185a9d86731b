#pragma once

#include <QString>

// Which engine choices can print on this machine. Adobe Acrobat and the COM
// office suites do not exist on this platform: their keys ("acrobat",
// "microsoft", "wps") keep their meaning where such a program is
// registered, and elsewhere a stored choice falls back to what can print.

bool isAcrobatInstalled();

// True when the program behind an engine key could print here. The built-in
// PDF engine, "auto" and "libreoffice" always can (LibreOffice may be
// missing, but it can be installed).
bool isPdfEngineUsable(const QString &key);
bool isOfficeEngineUsable(const QString &key);

// Why an engine cannot be used here; empty when it can.
QString pdfEngineUnavailableReason(const QString &key);
QString officeEngineUnavailableReason(const QString &key);

// The engine a stored or given choice prints with: the choice itself when it
// can print; otherwise the built-in PDF engine, and "auto" for office files.
// An unknown PDF choice means Acrobat where Acrobat exists.
QString usablePdfEngine(const QString &key);
QString usableOfficeEngine(const QString &key);
