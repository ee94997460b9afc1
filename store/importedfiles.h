#pragma once
// The record of imported files (_Imported_Files): which bytes were imported
// when. It holds each file's SHA-256 digest as its 32 bytes and indexes
// their first 8.

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSqlQuery>

namespace kolva {

class Database;

// Finds earlier imports of files by their digests, many digests a
// statement: the rows of the digests' beginnings are found by the index and
// those of the whole digest kept. Prepared once for the connection.
class ImportedFileLookup {
public:
    // The most digests one find() takes.
    static constexpr int Chunk = 128;

    explicit ImportedFileLookup(Database& db);

    struct Found {
        QDateTime last; // the last import of the bytes
        qint64 row = 0; // its row in the record of imported files
    };
    // The last import of each digest imported before (32 bytes each, at
    // most Chunk of them), by digest.
    QHash<QByteArray, Found> find(const QList<QByteArray>& digests);

private:
    QSqlQuery query_;
};

} // namespace kolva
