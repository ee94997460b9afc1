#pragma once
// Start and end of the program: open KOLVA.MDB in the program directory,
// show the Main window, and on the way out close every window before the
// database.

#include "store/context.h"

#include <QString>

#include <memory>

namespace kolva {

class Database;
class frmMain;

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

// Opens the database of programDir and shows the Main window. When the
// database cannot be used, tells the user why and gives nothing.
std::unique_ptr<KolvaSession> startKolva(const QString& programDir, Prompter& prompter, Shell& shell, Drives& drives,
                                         Clock& clock);

// Gives each menu item of the Main window the window it opens.
void bindMenuWindows(frmMain& main);

// The program: the real desktop seams, start, event loop. Returns the exit status.
int runKolva(int argc, char** argv);

} // namespace kolva
