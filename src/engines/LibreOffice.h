#pragma once

#include <QString>
#include <QStringList>

// LibreOffice through its command line, headless, each run with a profile
// of its own so that runs never share state or wait on each other.

// Runs soffice with the arguments; false with the message when it could not
// start, ran past its time, crashed or exited with another code than 0.
bool runSoffice(const QStringList &arguments, QString *message);

// The limits of one run: to start (10 s) and to finish (180 s) unless set.
void setSofficeTimeLimits(int startMs, int runMs);

// Prints the document to the printer with the printer's per-user defaults,
// which the office engine has set for the job.
bool printWithLibreOffice(const QString &path, const QString &printerName, QString *message);

// The document as a PDF at targetPdf.
bool convertWithLibreOffice(const QString &sourcePath, const QString &targetPdf, QString *message);
