#pragma once

#include <QString>
#include <QStringList>

// Running a helper program of this platform (a filter chain, an office
// suite) with a time limit, so that one that hangs cannot hold a print for
// good.
namespace Platform {

// Runs the program with its standard output into outputFile (standard
// error discarded). A program still running after timeLimitMs is killed
// together with every process it started, and the run fails with
// ErrorTimeout. Every byte it writes is written to the file here and
// checked: one that does not reach it (a full disk) ends the run with
// ErrorDiskFull, whatever the program then says of itself. True when it
// ran to its end; exitCode is its exit status.
bool runToFile(const QString &program, const QStringList &arguments, const QString &outputFile,
               int timeLimitMs, int *exitCode);

// The user wants the program to stop at once (a second Ctrl+C, SIGTERM or
// SIGHUP): helper programs still running are ended with everything they
// started, and their runs fail. Safe to call from a signal handler.
void abortHelperPrograms();
bool helperProgramsAborted();

// Kills a process and every process it started, also those that left its
// process group (found through their parents before any is killed).
void killProcessTree(qint64 pid);

// GetTickCount64: milliseconds since the system started.
quint64 millisecondsSinceBoot();

// "<pid>_<ms since boot>": this process, in the names of what it leaves
// in shared places (temporary folders, temporary queues).
QString processStamp();
// Whether the process a stamp names still runs (false for one of an
// earlier boot); isStamp says whether the text is a stamp at all.
bool isStampOfLivingProcess(const QString &stamp, bool *isStamp = nullptr);

// Whether the process pid runs and was started no later than sinceBootMs
// (a later one only reuses the number of the process that is gone).
bool isProcessRunningSince(qint64 pid, quint64 sinceBootMs);

} // namespace Platform
