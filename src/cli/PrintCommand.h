#pragma once

#include "engines/PrintJob.h"

#include <QString>
#include <QStringList>

#include <cstdio>

class LocalStore;

// dunmarrow-print: files printed without the window, through the same
// dispatch, engines and print history as the program.
namespace PrintCommand {

enum ExitCode { AllPrinted = 0, SomeFailed = 1, UsageError = 2 };

struct Options
{
    QStringList inputs;        // files and folders as given
    QString printer;           // --printer
    QString hotFolder;         // --hot-folder
    int copies = 0;            // 0: the target's own
    QString duplex;            // "", none, long, short
    int color = -1;            // -1 the target's own, 0 mono, 1 colour
    QString paper;             // a paper key, or empty
    QString pdfEngine;         // empty: the program's setting
    QString officeEngine;
    bool add = false;
    bool json = false;
    QString watchFolder;
    bool wait = false;             // --wait: each job followed to its end
    int waitTimeoutSeconds = 24 * 60 * 60;
};

// Parses the command line. False with the text to show and the exit code
// (0 for --help and --version, 2 for a usage error).
bool parseArguments(const QStringList &arguments, Options *options, QString *message, int *exitCode);

// What a file is printed with, from the options, the program's settings and
// the store. False with the usage error (unknown printer or hot folder).
struct Target
{
    PrintJob prototype; // everything but the path
    int hotFolderId = 0;
    // Set when the paper asked for is one the printer lacks: every file is
    // refused with it, as the printer would print on another paper.
    QString paperRefusal;
    bool unavailable = false; // the print service could not be asked
};
bool resolveTarget(const Options &options, const LocalStore &store, Target *target, QString *error);

// The files a list of inputs names: folders give their supported files
// sorted by name as the print list sorts them. Missing inputs are kept, so
// that each is reported.
QStringList expandInputs(const QStringList &inputs);

struct FileResult
{
    QString path;
    bool success = false;
    bool recorded = true; // false: printed, but not in the history
    int pages = 0;
    int jobId = 0; // the scheduler's job, when one was made
    QString jobPrinter;
    qint64 historyId = 0; // the print's history record
    QString state; // with --wait: completed, aborted, canceled, stopped or timeout
    QString message;

    bool isComplete() const { return success && recorded; }
};

// Prints one file and records a success in the history.
FileResult printFile(const QString &path, const Target &target, LocalStore &store);
// One line on standard error (with a progress bar on a terminal), and one
// JSON object on standard output with --json.
void report(const FileResult &result, const Options &options, int index, int total);

// The whole run of the given files; the exit code.
int run(const Options &options);

} // namespace PrintCommand
