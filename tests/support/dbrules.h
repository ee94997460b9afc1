#pragma once
// What another program or the database itself does to a test's database,
// written for the engine the test runs on: a rule that refuses writes (as a
// full disk or an office's own rule would), a database held by another
// program, a connection that may only read.

#include "store/database.h"

#include <QString>

#include <memory>

namespace kolva::test {

enum class Write { Insert, Update };

// From now on the engine refuses a write of that kind to table with message,
// for every row or, with when, for the rows it holds for (a condition on the
// new row, "NEW.Tree_ID = 3"). name names the rule for allowWrites.
void refuseWrites(Database& db, const QString& name, Write write, const QString& table, const QString& message,
                  const QString& when = {});
// Takes the rule away again.
void allowWrites(Database& db, const QString& name, const QString& table);

// Another program holding the database while it lives (or until release):
// a statement of another connection that reads or writes it waits for its
// lock and then fails as locked.
class DatabaseHeld {
public:
    explicit DatabaseHeld(const QString& databasePath);
    ~DatabaseHeld();
    void release();
    DatabaseHeld(const DatabaseHeld&) = delete;
    DatabaseHeld& operator=(const DatabaseHeld&) = delete;

private:
    std::unique_ptr<Database> other_;
    bool held_ = false;
};

// The connection may read but every write fails (readOnly true), or may
// write again.
void setReadOnly(Database& db, bool readOnly);

} // namespace kolva::test
