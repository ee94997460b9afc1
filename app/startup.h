#pragma once
// Start and end of the program: open the database (KOLVA.MDB beside the
// program, in the user's data folder, or the one chosen), show the Main window, and on the way out close every window before the
// database.

#include "store/context.h"

#include <QString>

#include <functional>
#include <memory>

namespace kolva {

class Database;
class frmMain;
class Settings;

class KolvaSession {
public:
    KolvaSession(std::unique_ptr<Database> db, AppContext context);
    ~KolvaSession();
    KolvaSession(const KolvaSession&) = delete;
    KolvaSession& operator=(const KolvaSession&) = delete;

    frmMain* mainWindow() const { return main_.get(); }
    const AppContext& context() const { return context_; }

private:
    std::unique_ptr<Database> db_;
    AppContext context_;
    std::unique_ptr<frmMain> main_;
};

struct StartOptions {
    // The database to open; empty: KOLVA.MDB in the program directory.
    QString databasePath;
    // When there is no database at databasePath yet, the supplied database
    // it is made from, with a message saying where (the first start of an
    // installed KOLVA); "" never makes one.
    QString makeFrom;
    // Called once an Access database of an earlier version has been
    // converted, with the session on the new database (nothing when the
    // conversion failed or was stopped). Without it no conversion is offered.
    std::function<void(std::unique_ptr<KolvaSession>)> converted;
    // Set to true when a conversion was started (startKolva then gives
    // nothing at once).
    bool* converting = nullptr;
};

// Opens the database of programDir and shows the Main window. When the
// database cannot be used, tells the user why and gives nothing. When it is
// an Access file of an earlier version, asks whether to convert it; on Yes
// the conversion runs with a progress dialog, its closing message gives the
// count of each table, and options.converted gets the session.
std::unique_ptr<KolvaSession> startKolva(const QString& programDir, Prompter& prompter, Shell& shell, Drives& drives,
                                         Clock& clock, Settings& settings, const StartOptions& options = {});

// Gives each menu item of the Main window the window it opens.
void bindMenuWindows(frmMain& main);

// The program's entry: a command is handed to the command line
// (runCommandProcess, app/commandline.h); without one, the windows' options
// are read and the windows start when a display is there.
int runKolvaMain(int argc, char** argv);

// The windows: the real desktop seams, start, event loop, on the database
// of --database, of the settings, beside the program or in the user's data
// folder. Returns the exit status.
int runKolva(int argc, char** argv);

} // namespace kolva
