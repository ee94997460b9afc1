#pragma once
// SIGTERM and SIGINT on the command line: the first asks the running job to
// stop where it safely can (the progress reports it as a cancel), so that
// nothing is left half-done; a second one, or ten seconds without the job
// ending, ends the program at once.

namespace kolva {

void installTerminationHandlers();
// After the job: when a signal asked it to stop, ends the program by that
// signal, as the caller expects of a process it terminated.
void endAsTerminated();

} // namespace kolva
