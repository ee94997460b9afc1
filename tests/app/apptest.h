#pragma once
// Starts the program on a temporary program directory with the test seams.

#include "app/frmMain.h"
#include "app/startup.h"
#include "tests/support/testcontext.h"
#include "tests/support/widgets.h"

#include <gtest/gtest.h>

namespace kolva::test {

class AppTest : public ::testing::Test {
protected:
    AppTest() { drives.list = {{"/", "", true}, {"/media/crew/CARD", "CARD", false}}; }
    ~AppTest() override
    {
        session.reset();
        settle();
    }
    frmMain* start(StartOptions options = {})
    {
        options.converting = &converting;
        options.converted = [this](std::unique_ptr<KolvaSession> converted) {
            session = std::move(converted);
            conversionDone = true;
        };
        session = startKolva(dir.path(), prompter, shell, drives, clock, settings, options);
        return session ? session->mainWindow() : nullptr;
    }

    TempProgramDir dir;
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
