#pragma once
// Which database the program works on: a SQLite file given by its path, or a
// PostgreSQL database given by a connection URI
// (postgresql://[user@]host[:port]/dbname?sslmode=..., or postgresql:///dbname
// over the local socket). A password never travels in the URI: libpq finds it
// in ~/.pgpass, the file PGPASSFILE names, or a service file.

#include "store/errors.h"

#include <QList>
#include <QPair>
#include <QString>

namespace kolva {

struct DatabaseTarget {
    enum class Engine { SQLite, PostgreSQL };
    Engine engine = Engine::SQLite;

    // SQLite: the database file.
    QString path;

    // PostgreSQL: empty or -1 where libpq's defaults apply (the local socket,
    // port 5432, the user's own name as user and database).
    QString user;
    QString host;
    int port = -1;
    QString dbname;
    // The URI's other parameters (sslmode, connect_timeout, service, ...), in
    // their order, handed to libpq as they are.
    QList<QPair<QString, QString>> options;

    bool isServer() const { return engine == Engine::PostgreSQL; }
    // What a title or a message names: the path, or the URI (never with a
    // password, since one is refused).
    QString displayName() const;
    // The parameters for Qt's QPSQL driver (QSqlDatabase::setConnectOptions):
    // "key=value;key=value".
    QString connectOptions() const;
};

// Where a server database's password is to be given, in a sentence.
QString passwordPlaces();

// True when the text given names a server database rather than a file.
bool isServerDatabaseUri(const QString& given);

// Reads what --database or the settings give. A path is a SQLite file; a
// postgresql:// or postgres:// URI is a PostgreSQL database. A URI that
// carries a password, or that cannot be read, is refused with an InputError
// whose words never repeat the password.
DatabaseTarget parseDatabaseTarget(const QString& given);

} // namespace kolva
