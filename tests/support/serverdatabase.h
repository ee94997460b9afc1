#pragma once
// A database of its own on the throwaway PostgreSQL server the tests start
// (tests/support/pgcluster.sh; KOLVA_TEST_PG_URI names its maintenance
// database), made empty and dropped at the end.

#include "store/database.h"

#include <QString>

#include <memory>

namespace kolva::test {

class ServerTestDatabase {
public:
    // Throws DbError when the server cannot be reached or the database made.
    ServerTestDatabase();
    ~ServerTestDatabase();
    ServerTestDatabase(const ServerTestDatabase&) = delete;
    ServerTestDatabase& operator=(const ServerTestDatabase&) = delete;

    // True when the test server's URI is set.
    static bool available();
    QString name() const { return name_; }
    QString uri() const { return uri_; }

private:
    std::unique_ptr<Database> admin_;
    QString name_;
    QString uri_;
};

} // namespace kolva::test
