#pragma once

#include "cli/PrintCommand.h"

#include <QList>

class LocalStore;

namespace PrintCommand {

// Follows the files' jobs at the scheduler until each has ended or the time
// is up: one request per printer per round, the rounds a quarter of a
// second apart at first and two seconds at most. Each file gets its job's
// end state; one whose job did not complete is a failure that says why.
// The ends known (completed, aborted, canceled) are kept with the prints'
// history records.
void waitForJobEnds(QList<FileResult> *files, int timeoutSeconds, LocalStore &store);

} // namespace PrintCommand
