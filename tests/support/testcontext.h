#pragma once
// A temporary program directory with a fresh KOLVA.MDB and the test doubles
// of every seam: what each window test is given.

#include "platform/settings.h"
#include "store/context.h"
#include "store/database.h"
#include "tests/support/fakes.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/serverdatabase.h"

#include <QTemporaryDir>

#include <memory>

namespace kolva::test {

class TempProgramDir {
public:
    // With withDatabase, the directory holds a fresh supplied KOLVA.MDB.
    explicit TempProgramDir(bool withDatabase = true);
    QString path() const { return dir_.path(); }
    QString filePath(const QString& name) const { return dir_.filePath(name); }
    QString databasePath() const;

private:
    QTemporaryDir dir_;
};

// A settings file of its own in a temporary folder: what the user's
// config folder would hold.
class TempSettings : public FileSettings {
public:
    TempSettings();
    QString path() const;

private:
    explicit TempSettings(std::unique_ptr<QTemporaryDir> dir);
    std::unique_ptr<QTemporaryDir> dir_;
};

// Makes a fresh supplied database at path (copied from one made once per run).
void makeSuppliedDatabase(const QString& path);

// Makes at path a database as an earlier version of KOLVA made it: the
// supplied data model and lists, with the schema steps up to version (2 to
// 5) and that version number.
void makeDatabaseOfVersion(const QString& path, int version);

// The folder of the test data files (tests/data).
QString testDataPath(const QString& name);

// What a window test is given. Its database is the supplied KOLVA.MDB in
// dir, or in a server run (onServer()) a fresh KOLVA database of its own on
// the test server; dir holds the file either way.
class TestContext {
public:
    TestContext();
    ~TestContext();

    TempProgramDir dir;
    std::unique_ptr<ServerTestDatabase> server;
    std::unique_ptr<Database> db;
    // The database as the program is told it: the file's path or the URI.
    QString databasePath() const { return server ? server->uri() : dir.databasePath(); }
    ScriptedPrompter prompter;
    FakeShell shell;
    FakeDrives drives;
    FakeClock clock;
    TempSettings settings;

    AppContext context() { return AppContext{*db, prompter, shell, drives, clock, dir.path(), settings, dir.path()}; }
};

} // namespace kolva::test
