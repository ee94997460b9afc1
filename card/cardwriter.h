#pragma once
// Writing a storage card: the reference lists the handheld offers, one text
// file each in the card's root folder. Each file is Windows-1252, one entry a
// line, every line (the last included) ended by CR LF, no header, no quotes.

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
    const char* firstLine; // written before the entries, or nullptr
    const char* query;     // the entries: the first column of each row
};

// The eight list files in the order they are written.
const std::array<CardListFile, 8>& cardListFiles();

// An entry written other than it is stored: a character Windows-1252 cannot
// hold, or a line break or NUL inside the entry, is written as "?" so that
// each entry stays one line and every other character stays as it is.
struct AlteredEntry {
    QString file;
    QString entry; // as stored
};

struct CardWriteResult {
    QStringList written;         // the files written, in order
    QList<AlteredEntry> altered; // the entries written with "?"
};

// Why the card could not be written: an error number and its description.
class CardWriteError : public std::runtime_error {
public:
    CardWriteError(int number, const QString& description);
    int number() const { return number_; }
    QString description() const { return description_; }

private:
    int number_;
    QString description_;
};

// The bytes of one list file, from the database.
QByteArray cardListBytes(Database& db, const CardListFile& file, QList<AlteredEntry>* altered = nullptr);

// Writes the eight files into the card folder, in order, each replacing a
// file of the same name; a file is written under a temporary name and
// renamed when complete. Stops at the first failure with a CardWriteError;
// the files written before it stay. The .tree files on the card are never
// touched.
CardWriteResult writeStorageCard(Database& db, const QString& root);

// The lines telling which entries were written with "?" (empty for none).
QString alteredEntriesReport(const QList<AlteredEntry>& altered);

} // namespace kolva
