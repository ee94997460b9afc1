#pragma once
// The command line. `kolva` alone (or with --database FILE) starts the
// windows; `kolva COMMAND ...` does one job without any window or display,
// prints what it did and exits with 0 on success, 1 when the job failed and
// 2 when the command line itself was wrong.

#include <QStringList>

namespace kolva {

// The program's entry: decides between the windows and a command.
int runKolvaMain(int argc, char** argv);

// Runs one command (arguments without the program name); for the entry
// above, with a QCoreApplication already made. programDir holds the
// database used when none is named.
int runCommand(const QStringList& arguments, const QString& programDir);

// The options of the windows (the window system's own already taken out):
// sets database from --database and gives -1 to go on, or the exit status
// after a wrong command line.
int parseWindowOptions(const QStringList& arguments, QString& database);

} // namespace kolva
