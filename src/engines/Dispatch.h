#pragma once

#include "engines/EngineAvailability.h"
#include "engines/PrintJob.h"

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

// The answer for one printed file.
struct PrintResult
{
    bool success = false;
    QString message;
    int pages = 0; // per copy; at least 1 on success
    QString note;  // what the user should know of a success ("printed on A4: …")
    QString jobPrinter; // the scheduler's job it made, when it made one
    int jobId = 0;
};

// Prints one row's job: from its print cache, or by its type through
// PDFium, Acrobat, the toolkit's image printing, an office suite or the
// file type's own application. Runs on a worker thread; never throws.
PrintResult dispatchPrintJob(const PrintJob &job);

// The jobs' office documents that would print through LibreOffice, for
// converting them together ahead of printing (OfficeBatchConversion).
QStringList libreOfficeDocumentsOf(const QList<PrintJob> &jobs);

// What the dependency check would report, one item per missing program.
QStringList missingDependencies();
// Shows the missing programs once, after start-up.
void runDependencyCheck(QWidget *parent);
