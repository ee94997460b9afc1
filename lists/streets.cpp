#include "lists/streets.h"

#include "platform/progress.h"
#include "store/csv.h"
#include "store/database.h"
#include "store/textroutines.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace kolva {

QString cleanStreetName(const QString& text)
{
    QString name = text.toUpper();
    StripApostrophes(name);
    StripCommas(name);
    for (QChar& c : name) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    name = name.trimmed();
    if (name.size() > StreetNameMaxLength) {
        qsizetype cut = StreetNameMaxLength;
        if (name.at(cut - 1).isHighSurrogate())
            --cut; // never half a character
        name = name.left(cut).trimmed();
    }
    return name;
}

std::vector<Street> readStreets(Database& db)
{
    std::vector<Street> streets;
    QSqlQuery query = db.query(QStringLiteral("SELECT StreetName, SendToPDA FROM _Streets_Master ORDER BY StreetName"));
    while (query.next())
        streets.push_back({query.value(0).toString(), query.value(1).toInt() != 0});
    return streets;
}

qint64 streetCount(Database& db)
{
    return db.scalar(QStringLiteral("SELECT COUNT(*) FROM _Streets_Master")).toLongLong();
}

bool streetExists(Database& db, const QString& name)
{
    return !db.scalar(QStringLiteral("SELECT 1 FROM _Streets_Master WHERE StreetName = ?"), {name}).isNull();
}

bool setSendToPda(Database& db, const QString& name, bool send)
{
    return db.exec(QStringLiteral("UPDATE _Streets_Master SET SendToPDA = ? WHERE StreetName = ?"),
                   {send ? 1 : 0, name}) > 0;
}

bool addStreet(Database& db, const QString& name)
{
    return db.exec(QStringLiteral("INSERT INTO _Streets_Master (StreetName) VALUES (?) "
                                  "ON CONFLICT (StreetName) DO NOTHING"),
                   {name}) > 0;
}

void deleteStreet(Database& db, const QString& name)
{
    db.exec(QStringLiteral("DELETE FROM _Streets_Master WHERE StreetName = ?"), {name});
}

void deleteStreetsExcept(Database& db, const QString& keep)
{
    db.exec(QStringLiteral("DELETE FROM _Streets_Master WHERE StreetName <> ?"), {keep});
}

qint64 pdaStreetCount(Database& db)
{
    return db.scalar(QStringLiteral("SELECT COUNT(*) FROM _Streets_Master WHERE SendToPDA = 1")).toLongLong();
}

qint64 rebuildPdaStreets(Database& db)
{
    Transaction transaction(db);
    db.exec(QStringLiteral("DELETE FROM Streets_PDA"));
    const qint64 count = db.exec(QStringLiteral("INSERT INTO Streets_PDA (StreetName) SELECT StreetName "
                                                "FROM _Streets_Master WHERE SendToPDA = 1 ORDER BY StreetName"));
    transaction.commit();
    return count;
}

// ---------------------------------------------------------------- the CSV file

StreetFileError::StreetFileError(const QString& message) : std::runtime_error(message.toStdString()), message_(message)
{
}

namespace {

bool isTitle(const QString& name)
{
    static const QSet<QString> titles = {QStringLiteral("STREET"),      QStringLiteral("STREETS"),
                                         QStringLiteral("STREET NAME"), QStringLiteral("STREET NAMES"),
                                         QStringLiteral("STREETNAME"),  QStringLiteral("STREET_NAME"),
                                         QStringLiteral("NAME")};
    return titles.contains(name);
}

} // namespace

StreetFileNames streetNamesFromCsv(QByteArrayView bytes)
{
    if (bytes.contains('\0'))
        throw StreetFileError(QStringLiteral("it is not a text file"));
    StreetFileNames result;
    CsvReader reader(decodeText(bytes));
    QStringList fields;
    while (reader.next(fields)) {
        ++result.records;
        const QString name = fields.isEmpty() ? QString() : cleanStreetName(fields.first());
        if (result.records == 1 && isTitle(name)) {
            result.titleLineSkipped = true;
            continue;
        }
        if (!name.isEmpty())
            result.names.append(name);
    }
    return result;
}

StreetFileNames readStreetFile(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile())
        throw StreetFileError(QStringLiteral("there is no such file"));
    if (!file.open(QIODevice::ReadOnly))
        throw StreetFileError(file.errorString());
    if (file.size() > StreetFileMaxBytes)
        throw StreetFileError(QStringLiteral("it is %1 MB, larger than a street list can be (%2 MB at most)")
                                  .arg(file.size() / (1024 * 1024))
                                  .arg(StreetFileMaxBytes / (1024 * 1024)));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw StreetFileError(file.errorString());
    return streetNamesFromCsv(bytes);
}

qint64 addStreetNames(Database& db, const QStringList& names, Progress& progress)
{
    constexpr qint64 Step = 2000;
    progress.beginStage(QStringLiteral("Adding street names"), names.size());
    progress.setCancellable(true);
    Transaction transaction(db);
    QSqlQuery insert = db.prepare(QStringLiteral("INSERT INTO _Streets_Master (StreetName) VALUES (?) "
                                                 "ON CONFLICT (StreetName) DO NOTHING"));
    QSet<QString> seen;
    seen.reserve(names.size());
    qint64 added = 0;
    qint64 done = 0;
    for (const QString& name : names) {
        if (++done % Step == 0) {
            if (progress.cancelRequested())
                throw StreetImportCancelled();
            progress.advance(done);
        }
        if (name.isEmpty() || seen.contains(name))
            continue; // the file names it twice
        seen.insert(name);
        insert.bindValue(0, name);
        Database::run(insert);
        added += insert.numRowsAffected() > 0 ? 1 : 0;
    }
    insert.finish();
    progress.advance(done);
    if (progress.cancelRequested())
        throw StreetImportCancelled();
    progress.setCancellable(false);
    transaction.commit();
    return added;
}

StreetImportResult importStreetFile(const QString& databasePath, const QString& csvPath, Progress& progress)
{
    progress.beginStage(QStringLiteral("Reading ") + QFileInfo(csvPath).fileName(), 0);
    const StreetFileNames file = readStreetFile(csvPath);
    if (progress.cancelRequested())
        throw StreetImportCancelled();
    StreetImportResult result;
    result.namesRead = file.names.size();
    result.titleLineSkipped = file.titleLineSkipped;
    std::unique_ptr<Database> db = Database::open(databasePath);
    result.added = addStreetNames(*db, file.names, progress);
    return result;
}

} // namespace kolva
