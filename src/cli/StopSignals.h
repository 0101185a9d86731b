#pragma once

// SIGINT, SIGTERM and SIGHUP, alike: the first lets the file being printed
// finish and stops the run after it; the second ends what prints now (its
// helper programs are ended, its temporary files removed) and the run;
// a third ends the program at once.
namespace PrintCommand {

void installStopSignals();
bool stopRequested();
// Readable once a stop was asked: for an event loop to wake on.
int stopNotifier();

} // namespace PrintCommand
