#pragma once

#include "cli/PrintCommand.h"

namespace PrintCommand {

// --watch: prints the files already in the folder, then every file that
// appears there once it has stopped growing, and moves each into
// printed/ or failed/ (with a .log holding the message). Runs until
// SIGINT or SIGTERM, which let the current file finish. The exit code: 2
// when the folder cannot be watched or written, else 0.
int watchFolder(const Options &options, const Target &target, LocalStore &store);

// Where a file goes after its print: a name free in that folder
// ("name (2).pdf" when "name.pdf" is taken).
QString freeNameIn(const QString &folder, const QString &fileName);

} // namespace PrintCommand
