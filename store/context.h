#pragma once
// What every window is given when it is made: the open database, the seams
// to the desktop, the settings, the program directory and the data folder.

#include <QString>

class QWidget;

namespace kolva {

class Database;
class Prompter;
class Shell;
class Drives;
class Clock;
class Settings;

struct AppContext {
    Database& db;
    Prompter& prompter;
    Shell& shell;
    Drives& drives;
    Clock& clock;
    QString programDir; // where the program and its documents are
    Settings& settings;
    // The folder of the database: the backup folders of the card import and
    // the import logs go there. Beside the program only when the database is.
    QString dataDir;
};

// For a command that changes the database: when the server lets the user
// read it only, says so over parent (store/database.h, readOnlyMessage) and
// gives true; the command then changes nothing.
bool changeRefused(const AppContext& context, QWidget* parent, const QString& caption);

} // namespace kolva
