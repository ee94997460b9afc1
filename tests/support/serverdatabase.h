#pragma once
// A database of its own on the throwaway PostgreSQL server the tests start
// (tests/support/pgcluster.sh; KOLVA_TEST_PG_URI names its maintenance
// database), dropped at the end.

#include "store/database.h"

#include <QString>

#include <memory>

namespace kolva::test {

// The login of the test server that must give a password, and its password
// (tests/support/pgcluster.sh makes it).
inline const QString PasswordLogin = QStringLiteral("kolva_pw");
inline const QString PasswordOfLogin = QStringLiteral("kolva-pw-test");

class ServerTestDatabase {
public:
    // Empty: a database as an administrator makes it for KOLVA. Kolva: a
    // KOLVA database with the schema and the supplied lists, copied from one
    // made once per test process.
    enum class Content { Empty, Kolva };

    // Throws DbError when the server cannot be reached or the database made.
    explicit ServerTestDatabase(Content content = Content::Empty);
    ~ServerTestDatabase();
    ServerTestDatabase(const ServerTestDatabase&) = delete;
    ServerTestDatabase& operator=(const ServerTestDatabase&) = delete;

    // True when the test server's URI is set.
    static bool available();
    QString name() const { return name_; }
    QString uri() const { return uri_; }
    // The database's URI for another login of the server.
    QString uriFor(const QString& user) const;
    // Makes role the owner of the database, so that it can make KOLVA's tables.
    void giveTo(const QString& role);
    // Runs a statement on the database as the server's superuser.
    void runAsOwner(const QString& sql);

private:
    std::unique_ptr<Database> admin_;
    QString name_;
    QString uri_;
};

// True when this run keeps the tests' databases on the test server
// (KOLVA_TEST_ENGINE=postgresql, set by kolva_add_test's BOTH_ENGINES runs).
bool onServer();

} // namespace kolva::test

// For a test of the SQLite file itself (its bytes, its path, its locks): the
// server run of the test executable skips it.
#define KOLVA_SQLITE_FILE_ONLY()                                                                                   \
    do {                                                                                                           \
        if (::kolva::test::onServer())                                                                             \
            GTEST_SKIP() << "a test of the SQLite file";                                                           \
    } while (false)
