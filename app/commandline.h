#pragma once
// The command line. `kolva` alone (or with --database FILE) starts the
// windows; `kolva COMMAND ...` does one job without any window or display,
// prints what it did and exits with 0 on success, 1 when the job failed and
// 2 when the command line itself was wrong.
//
// The commands are built on the libraries without windows only (they link
// no Qt Widgets); the program's entry, runKolvaMain (app/startup.h), hands
// a command to runCommandProcess and starts the windows otherwise.

#include <QString>
#include <QStringList>

namespace kolva {

// The command the arguments name (the program name first): the first
// argument that is neither an option nor an option's value; "" when there
// is none, and the windows are to start.
QString commandOf(const QStringList& arguments);

// Whether the arguments name a window system platform (-platform NAME).
bool platformGiven(const QStringList& arguments);

// The whole process of one command: makes the application object the
// command needs (a core application; for a report, which measures its text
// with the system's fonts, a GUI one, on the offscreen platform unless one
// was named), runs the command of argv and gives its exit status. SIGTERM
// and SIGINT stop the job where it safely can.
int runCommandProcess(int& argc, char** argv);

// Runs one command (the arguments with the program name first), with the
// application object already made. programDir holds the database used when
// none is named.
int runCommand(const QStringList& arguments, const QString& programDir);

// The options of the windows (the window system's own already taken out):
// sets database from --database and gives -1 to go on, or the exit status
// after a wrong command line.
int parseWindowOptions(const QStringList& arguments, QString& database);

} // namespace kolva
