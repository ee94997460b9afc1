#include "lists/speciesimport.h"

#include "platform/jobprogress.h"
#include "store/accessfile.h"
#include "store/database.h"
#include "store/textroutines.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace kolva {

QString speciesReferenceTable()
{
    return QStringLiteral("Reference City Region List");
}

QString speciesDatabaseFileName()
{
    return QStringLiteral("Kelmar_Species_Database.MDB");
}

QString defaultSpeciesDatabasePath(const QString& programDir)
{
    const QDir dir(programDir);
    const QStringList found = dir.entryList({speciesDatabaseFileName()}, QDir::Files, QDir::Name);
    for (const QString& name : found) {
        if (name.compare(speciesDatabaseFileName(), Qt::CaseInsensitive) == 0)
            return dir.filePath(name);
    }
    return dir.filePath(QStringLiteral("Kelmar_Species_Database.mdb"));
}

bool isClimateZoneName(const QString& table)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)$"));
    return number.match(table.left(2).trimmed()).hasMatch();
}

QStringList climateZones(const AccessFile& file)
{
    QStringList zones;
    for (const QString& table : file.tableNames()) {
        if (isClimateZoneName(table))
            zones.append(table);
    }
    return zones;
}

std::unique_ptr<AccessFile> openSpeciesDatabase(const QString& path)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (path.trimmed().isEmpty() || !QFileInfo(path).isFile())
        throw SpeciesFileError(SpeciesFileError::Reason::Missing,
                               QStringLiteral("There is no file %1.").arg(shown));
    std::unique_ptr<AccessFile> file;
    try {
        file = AccessFile::open(path);
    } catch (const DbError&) {
        throw SpeciesFileError(SpeciesFileError::Reason::Unreadable,
                               QStringLiteral("The file %1 cannot be read as an Access (.MDB) database: it is not "
                                              "one, or it is damaged or cut short.")
                                   .arg(shown));
    }
    if (!file->hasTable(speciesReferenceTable()))
        throw SpeciesFileError(SpeciesFileError::Reason::NotSpeciesData,
                               QStringLiteral("The MDB file you have selected does not appear to contain the species "
                                              "data."));
    return file;
}

QString speciesDescription(const QString& code, const QString& name)
{
    QString plainName = name.trimmed();
    StripApostrophes(plainName);
    QString text = (code.trimmed() + QLatin1Char('-') + plainName).toUpper();
    if (text.size() > SpeciesDescriptionMaxLength) {
        qsizetype cut = SpeciesDescriptionMaxLength;
        if (text.at(cut - 1).isHighSurrogate())
            --cut; // never half a character
        text.truncate(cut);
    }
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

namespace {

int columnOf(const QStringList& columns, const QString& name)
{
    for (int i = 0; i < columns.size(); ++i) {
        if (columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString textOf(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

} // namespace

QStringList readZoneSpecies(const AccessFile& file, const QString& path, const QString& zone, SpeciesName which)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (!file.hasTable(zone))
        throw SpeciesFileError(SpeciesFileError::Reason::NoSuchZone,
                               QStringLiteral("The climate zone %1 is not in the file %2. Press \"Refresh Climate "
                                              "Zone List\" to list the zones of this file.")
                                   .arg(zone, shown));
    const QStringList columns = file.columnNames(zone);
    if (columns.isEmpty())
        throw SpeciesFileError(SpeciesFileError::Reason::Damaged,
                               QStringLiteral("The file %1 is damaged or cut short: the table %2 cannot be read.")
                                   .arg(shown, zone));
    const int code = columnOf(columns, QStringLiteral("SpeciesCode"));
    const QString nameColumn = which == SpeciesName::Common ? QStringLiteral("CommonName") : QStringLiteral("ScientificName");
    const int name = columnOf(columns, nameColumn);
    if (code < 0 || name < 0)
        throw SpeciesFileError(SpeciesFileError::Reason::NotZoneTable,
                               QStringLiteral("The table %1 of the file %2 has no columns SpeciesCode and %3.")
                                   .arg(zone, shown, nameColumn));
    // A code or name of a kind that is not text is a damaged table
    // definition: its values would all read as empty.
    const QList<AccessColumn> types = file.columns(zone);
    for (const int at : {code, name}) {
        const AccessType type = types.value(at).type;
        if (type != AccessType::Text && type != AccessType::Memo)
            throw SpeciesFileError(SpeciesFileError::Reason::Damaged,
                                   QStringLiteral("The file %1 is damaged: the column %2 of the table %3 does not hold "
                                                  "text. The species list has not been changed.")
                                       .arg(shown, columns[at], zone));
    }
    QStringList descriptions;
    qint64 row = 0;
    try {
        file.readRows(zone, [&](const QVariantList& values) {
            ++row;
            const QString c = textOf(values.value(code)).trimmed();
            const QString n = textOf(values.value(name)).trimmed();
            if (c.isEmpty() && !n.isEmpty())
                throw SpeciesFileError(SpeciesFileError::Reason::Damaged,
                                       QStringLiteral("The file %1 cannot be used: row %2 of the table %3 (%4) has no "
                                                      "species code. The species list has not been changed.")
                                           .arg(shown)
                                           .arg(row)
                                           .arg(zone, n));
            if (!c.isEmpty() || !n.isEmpty())
                descriptions.append(speciesDescription(c, n));
        });
    } catch (const DbError& error) {
        throw SpeciesFileError(SpeciesFileError::Reason::Damaged,
                               QStringLiteral("The file %1 cannot be read whole: %2. The species list has not been "
                                              "changed.")
                                   .arg(shown, error.message()));
    }
    return descriptions;
}

void replaceSpecies(Database& db, const QStringList& descriptions, Progress& progress)
{
    progress.beginStage(QStringLiteral("Writing the species list"), descriptions.size());
    Transaction transaction(db);
    db.exec(QStringLiteral("DELETE FROM Species"));
    QSqlQuery insert = db.prepare(QStringLiteral("INSERT INTO Species (Description) VALUES (?)"));
    qint64 done = 0;
    for (const QString& description : descriptions) {
        insert.bindValue(0, description);
        Database::run(insert);
        if (++done % 500 == 0)
            progress.advance(done);
    }
    insert.finish();
    progress.advance(done);
    transaction.commit();
}

} // namespace kolva
