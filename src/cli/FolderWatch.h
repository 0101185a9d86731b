#pragma once

#include "cli/PrintCommand.h"

namespace PrintCommand {

// --watch: prints the files in the folder and every file that arrives
// there, each once it is complete (unchanged for a moment and open to no
// writer), and moves each into printed/ or failed/ (with a .log holding the
// message). Each file is printed once across stops, kills, restarts and the
// folder being replaced; one command watches a folder. Runs until SIGINT,
// SIGTERM or SIGHUP, which let the current file finish. The exit code: 2
// when the folder cannot be watched or written, or is watched already;
// else 0.
int watchFolder(const Options &options, const Target &target, LocalStore &store);

// Where a file goes after its print: a name free in that folder
// ("name (2).pdf" when "name.pdf" is taken).
QString freeNameIn(const QString &folder, const QString &fileName);

} // namespace PrintCommand
