#pragma once

#include <QString>
#include <QStringList>

#include <memory>

// LibreOffice through its command line, headless, each run with a profile
// of its own so that runs never share state or wait on each other.

// Runs soffice with the arguments; false with the message when it could not
// start, ran past its time, crashed or exited with another code than 0.
bool runSoffice(const QStringList &arguments, QString *message);

// What runs of programs that are gone left (a kill -9 ends a program
// without its clean-up): their folders in the temporary folder, and a
// LibreOffice still working in one. Run at start and before a first run.
void removeAbandonedLibreOfficeRuns();

// The limits of one run: to start (10 s) and to finish (180 s) unless set.
void setSofficeTimeLimits(int startMs, int runMs);

// The office documents of a batch, converted to PDF by one LibreOffice run
// that starts at once, in the background, instead of one run per document.
// While it lives, printing one of them through LibreOffice takes its PDF
// from this run (waiting for it to end) when the document is unchanged
// since; one it made no PDF for, or that changed, is converted on its own.
// Ending it ends a run still at work.
class OfficeBatchConversion
{
public:
    explicit OfficeBatchConversion(const QStringList &documents);
    ~OfficeBatchConversion();
    OfficeBatchConversion(const OfficeBatchConversion &) = delete;
    OfficeBatchConversion &operator=(const OfficeBatchConversion &) = delete;

    struct Run;

private:
    std::shared_ptr<Run> m_run;
};

struct PdfiumPrintRequest;

// Prints the document: LibreOffice makes its PDF, and the built-in engine
// prints that with the job's settings as one job of this program's own,
// titled with the document's name. (LibreOffice's own print cannot be told
// apart from other jobs, and sends nothing from a build without printing.)
// pages: the pages sent.
bool printWithLibreOffice(const QString &path, const PdfiumPrintRequest &settings, int *pages, QString *message,
                          QString *note = nullptr);

// The document as a PDF at targetPdf.
bool convertWithLibreOffice(const QString &sourcePath, const QString &targetPdf, QString *message);
