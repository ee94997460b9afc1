#pragma once
// The reference lists, read the same way by every part of the program: the
// card writer, the list editors, the Tree editor and the reports.
//
// Their orders:
// - surveyors, streets, species and risk zones: by name as the database
//   compares the names (COLLATE NOCASE: capital and small ASCII letters
//   alike, every other character by its UTF-8 bytes), names that compare
//   alike in the order they were added;
// - the risk zones the report options offer: in the order they were added,
//   the table as it stands (readRiskZonesAsAdded);
// - the rows of a risk question: by Risk_Order, its title (-1) first;
// - corrective actions: by code (readCorrectiveActions in
//   store/correctiveactions.h).
// Every function throws DbError when the table cannot be read.

#include <QString>
#include <QStringList>

#include <vector>

namespace kolva {

class Database;

enum class ReferenceList { Surveyors, Streets, Species, RiskZones };

// One row of a reference table.
struct ReferenceEntry {
    qint64 id = 0; // the row's ID (for streets, which have none, its place in the table)
    QString name;  // a null QString for a row without a name
};

// Every row of the list's table (for streets the whole street list,
// _Streets_Master), in name order.
std::vector<ReferenceEntry> readReferenceEntries(Database& db, ReferenceList list);
// Their names, in the same order; a row without a name gives an empty entry.
QStringList readReferenceNames(Database& db, ReferenceList list);
// The streets chosen for the handheld (Streets_PDA), in name order.
QStringList readHandheldStreetNames(Database& db);

// The names of the reference table and of the survey records together, in
// name order, each once (names that compare alike: the table's spelling,
// the first added). Null and empty names are left out. What the Tree
// editor's lists offer.
QStringList readReferenceList(Database& db, ReferenceList list);

// The risk zones in the order they were added, a row without a name as an
// empty entry. What the report options offer.
QStringList readRiskZonesAsAdded(Database& db);

// One row of a risk question (Risk_Rating).
struct RiskRatingRow {
    qint64 order = 0; // Risk_Order: -1 for the question's title, else the score
    QString description;
};
// The rows of question 1 to 4, by Risk_Order.
std::vector<RiskRatingRow> readRiskRatingRows(Database& db, int question);

} // namespace kolva
