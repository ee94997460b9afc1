#pragma once
// What every window is given when it is made: the open database, the seams
// to the desktop and the program directory.

#include <QString>

namespace kolva {

class Database;
class Prompter;
class Shell;
class Drives;
class Clock;

struct AppContext {
    Database& db;
    Prompter& prompter;
    Shell& shell;
    Drives& drives;
    Clock& clock;
    QString programDir;
};

} // namespace kolva
