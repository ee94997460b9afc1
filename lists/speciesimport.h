#pragma once
// The species list from an outside species database (an Access file with one
// table per climate zone): finding its zone tables, reading the species of
// one zone, and replacing the species list with them. Nothing here touches a
// widget.

#include "store/errors.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <stdexcept>

namespace kolva {

class AccessFile;
class Database;
class Progress;

// The table that marks a file as a species database.
QString speciesReferenceTable(); // "Reference City Region List"
// The file's name beside the program, as the outside tool names it.
QString speciesDatabaseFileName(); // "Kelmar_Species_Database.MDB"
// The species database beside the program: the file of that name in any
// case of letters, or the name spelled ".mdb" when there is none.
QString defaultSpeciesDatabasePath(const QString& programDir);

// Whether a table is a climate zone: the first two characters of its name
// read as a number ("01 Northeast", "12 Southwest"; not "9X Odd").
bool isClimateZoneName(const QString& table);

// Why a species database could not be used; the message names the file.
class SpeciesFileError : public FileError {
public:
    enum class Reason { Missing, Unreadable, NotSpeciesData, NoSuchZone, NotZoneTable, Damaged };
    SpeciesFileError(Reason reason, const QString& message) : FileError(message), reason_(reason) {}
    Reason reason() const { return reason_; }
    QString message() const { return userText(); }

private:
    Reason reason_;
};

// The climate zones of an open species database, in the file's order.
QStringList climateZones(const AccessFile& file);

// Opens a species database: throws SpeciesFileError when the file is
// missing (Missing), cannot be read as an Access file (Unreadable) or does
// not hold the reference table (NotSpeciesData).
std::unique_ptr<AccessFile> openSpeciesDatabase(const QString& path);

enum class SpeciesName { Common, Scientific };

// The species list entry of one species: the code, "-" and the name
// without apostrophes, in capitals, cut to 35 characters.
constexpr int SpeciesDescriptionMaxLength = 35;
QString speciesDescription(const QString& code, const QString& name);

// The entries of every species of one zone table, in the order stored.
// A row without code and name gives none. Throws SpeciesFileError when the
// zone is not in the file (NoSuchZone), lacks the columns SpeciesCode and
// the name (NotZoneTable), cannot be read whole, has a code or name column
// that does not hold text, or has a row with a name but no code (Damaged).
QStringList readZoneSpecies(const AccessFile& file, const QString& path, const QString& zone, SpeciesName which);

// Replaces the species list with the entries, in one transaction: when
// anything fails, the old list stays whole.
void replaceSpecies(Database& db, const QStringList& descriptions, Progress& progress);

} // namespace kolva
