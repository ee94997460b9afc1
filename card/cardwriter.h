#pragma once
// Writing a storage card: the reference lists the handheld offers, one text
// file each in the card's root folder. Each file is Windows-1252, one entry a
// line, every line (the last included) ended by CR LF, no header, no quotes.

#include "store/errors.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <stdexcept>

namespace kolva {

class Database;

struct CardListFile {
    const char* name;      // "Surveyors.txt"
    const char* list;      // the list as the user knows it: "Surveyors"
    const char* firstLine; // written before the entries, or nullptr
    // The entries, in the order of their list (store/referencelists.h).
    QStringList (*entries)(Database& db);
};

// The eight list files in the order they are written.
const std::array<CardListFile, 8>& cardListFiles();

// An entry written other than it is stored: a character Windows-1252 cannot
// hold, or a line break or NUL inside the entry, is written as "?" so that
// each entry stays one line and every other character stays as it is.
struct AlteredEntry {
    QString list;     // "Surveyors", "Species", ...
    QString entry;    // as stored
    QString written;  // as written, with "?"
    QString replaced; // what was replaced: "\"Ő\"", "a line break"
};

struct CardWriteResult {
    QStringList written;         // the files written, in order
    QList<AlteredEntry> altered; // the entries written with "?"
};

// Why the card could not be written, in words a user knows.
class CardWriteError : public FileError {
public:
    explicit CardWriteError(const QString& description, bool writeProtected = false);
    // The card's volume is read-only: its lock switch is on.
    bool writeProtected() const { return writeProtected_; }

private:
    bool writeProtected_;
};

// Whether the folder's volume is mounted read-only (a locked card).
bool isWriteProtected(const QString& root);

// The bytes of one list file, from the database.
QByteArray cardListBytes(Database& db, const CardListFile& file, QList<AlteredEntry>* altered = nullptr);

// Writes the eight files into the card folder, in order, each replacing a
// regular file of the same name; a file is written under a temporary name
// and renamed when complete. A link, folder, pipe or device in a file's place
// is refused and left as it is. Stops at the first failure with a CardWriteError;
// the files written before it stay. The .tree files on the card are never
// touched.
CardWriteResult writeStorageCard(Database& db, const QString& root);

// The lines telling which entries were written with "?" (empty for none).
QString alteredEntriesReport(const QList<AlteredEntry>& altered);

} // namespace kolva
