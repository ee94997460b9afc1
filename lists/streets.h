#pragma once
// The street list (_Streets_Master) and the streets chosen for the handheld
// (Streets_PDA): reading and changing them, and the import of street names
// from the first column of a CSV file. Nothing here touches a widget.

#include "store/errors.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <stdexcept>
#include <vector>

namespace kolva {

class Database;
class Progress;

// A street name is stored in capitals, without apostrophes, commas or
// control characters, without blanks around it, at most 30 characters.
constexpr int StreetNameMaxLength = 30;
QString cleanStreetName(const QString& text);

struct Street {
    QString name;
    bool sendToPda = false;
};

// Every street in name order.
std::vector<Street> readStreets(Database& db);
qint64 streetCount(Database& db);
bool streetExists(Database& db, const QString& name);
// Ticks or unticks a street for the handheld; false when it is not there.
bool setSendToPda(Database& db, const QString& name, bool send);
// Adds a street (not ticked); false when it is there already.
bool addStreet(Database& db, const QString& name);
void deleteStreet(Database& db, const QString& name);
// Deletes every street but the one named.
void deleteStreetsExcept(Database& db, const QString& keep);
// The number of ticked streets.
qint64 pdaStreetCount(Database& db);
// Replaces the streets for the handheld by the ticked ones, in one
// transaction; gives their number.
qint64 rebuildPdaStreets(Database& db);

// The street names of a CSV file: the first field of every record, cleaned
// by cleanStreetName. Records whose first field is empty give no name; a
// first record whose first field is a column title ("STREET NAME",
// "STREETNAME", "STREET", "STREETS", "NAME") is taken as the titles.
struct StreetFileNames {
    QStringList names;          // in the order of the file, duplicates kept
    bool titleLineSkipped = false;
    qsizetype records = 0;      // records read, the title line included
};

// Why a street file could not be read.
class StreetFileError : public FileError {
public:
    explicit StreetFileError(const QString& message) : FileError(message) {}
    QString message() const { return userText(); }
};

// The largest street file read (a list of every street of a big city is a
// few megabytes).
constexpr qint64 StreetFileMaxBytes = 64LL * 1024 * 1024;

// The names of a file's bytes (UTF-8 with or without a byte-order mark,
// Windows-1252, or UTF-16 with its byte-order mark; fields separated by
// commas, semicolons or tabs, see csvSeparator). Throws StreetFileError for
// bytes that are not text, and naming the line for a quote that is never
// closed or a quoted name that runs over the end of its line.
StreetFileNames streetNamesFromCsv(QByteArrayView bytes);
// The names of the file at path. Throws StreetFileError when it cannot be
// read or is not a text file.
StreetFileNames readStreetFile(const QString& path);

// Thrown when the user stopped an import: nothing was added.
using StreetImportCancelled = Cancelled;

// Adds the names not yet in the list, all in one transaction (nothing is
// added when anything fails), and gives how many were added.
qint64 addStreetNames(Database& db, const QStringList& names, Progress& progress);

struct StreetImportResult {
    qint64 added = 0;
    qint64 namesRead = 0;
    bool titleLineSkipped = false;
};

// The whole import of a CSV file into the database at databasePath, on a
// connection of its own (it runs off the window thread).
StreetImportResult importStreetFile(const QString& databasePath, const QString& csvPath, Progress& progress);

} // namespace kolva
