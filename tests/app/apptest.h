#pragma once
// Starts the program on a temporary program directory (and in a server run on
// a database of its own on the test server) with the test seams.

#include "app/frmMain.h"
#include "app/startup.h"
#include "tests/support/testcontext.h"
#include "tests/support/widgets.h"

#include <QFile>

#include <gtest/gtest.h>

namespace kolva::test {

class AppTest : public ::testing::Test {
protected:
    AppTest()
    {
        drives.list = {{"/", "", true}, {"/media/crew/CARD", "CARD", false}};
        // A server database keeps the backups in the user's data folder.
        if (server)
            qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("userdata")));
    }
    ~AppTest() override
    {
        session.reset();
        settle();
    }
    frmMain* start(StartOptions options = {})
    {
        if (options.databasePath.isEmpty() && server)
            options.databasePath = server->uri();
        options.converting = &converting;
        options.converted = [this](std::unique_ptr<KolvaSession> converted) {
            session = std::move(converted);
            conversionDone = true;
        };
        session = startKolva(dir.path(), prompter, shell, drives, clock, settings, options);
        return session ? session->mainWindow() : nullptr;
    }

    // The database the program starts on: KOLVA.MDB in dir, or in a server
    // run a KOLVA database of the test's own on the test server.
    QString databasePath() const { return server ? server->uri() : dir.databasePath(); }

    TempProgramDir dir;
    std::unique_ptr<ServerTestDatabase> server =
        onServer() ? std::make_unique<ServerTestDatabase>(ServerTestDatabase::Content::Kolva) : nullptr;
    ScriptedPrompter prompter;
    FakeShell shell;
    FakeDrives drives;
    FakeClock clock;
    TempSettings settings;
    std::unique_ptr<KolvaSession> session;
    bool converting = false;
    bool conversionDone = false;
};

} // namespace kolva::test
