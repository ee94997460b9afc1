#include "lists/streets.h"

#include "platform/jobprogress.h"
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
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u <= 0x9f)) // a control character
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
    QString text = decodeText(bytes);
    if (text.contains(QChar(0)))
        throw StreetFileError(QStringLiteral("it is not a text file"));
    StreetFileNames result;
    const QChar separator = csvSeparator(text);
    CsvReader reader(std::move(text), separator);
    QStringList fields;
    while (reader.next(fields)) {
        ++result.records;
        // A quote left open would take the lines after it into one name:
        // the file is refused rather than read otherwise than it was meant.
        if (const qsizetype line = reader.unclosedQuoteLine())
            throw StreetFileError(QStringLiteral("the quote that opens on line %1 is never closed").arg(line));
        const QString first = fields.isEmpty() ? QString() : fields.first();
        if (first.contains(QLatin1Char('\n')) || first.contains(QLatin1Char('\r')))
            throw StreetFileError(
                QStringLiteral("the name in quotes on line %1 runs on to the next line: its closing quote is missing")
                    .arg(reader.recordLine()));
        const QString name = cleanStreetName(first);
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

namespace {

// Names are added in batches of this many, in one statement each.
constexpr int InsertBatch = 250;

QString insertStatement(int rows)
{
    QString sql = QStringLiteral("INSERT INTO _Streets_Master (StreetName) VALUES (?)");
    for (int i = 1; i < rows; ++i)
        sql += QStringLiteral(", (?)");
    return sql + QStringLiteral(" ON CONFLICT (StreetName) DO NOTHING");
}

} // namespace

qint64 addStreetNames(Database& db, const QStringList& names, Progress& progress)
{
    // Each name once (a file may name a street many times).
    QStringList unique;
    unique.reserve(names.size());
    QSet<QString> seen;
    seen.reserve(names.size());
    for (const QString& name : names) {
        if (!name.isEmpty() && !seen.contains(name)) {
            seen.insert(name);
            unique.append(name);
        }
    }

    progress.beginStage(QStringLiteral("Adding street names"), unique.size());
    progress.setCancellable(true);
    Transaction transaction(db);
    static const QString batchSql = insertStatement(InsertBatch);
    QSqlQuery batch = db.prepare(batchSql);
    QSqlQuery single = db.prepare(insertStatement(1));
    qint64 added = 0;
    qsizetype done = 0;
    while (done < unique.size()) {
        if (progress.cancelRequested())
            throw StreetImportCancelled();
        const bool full = unique.size() - done >= InsertBatch;
        QSqlQuery& insert = full ? batch : single;
        const int rows = full ? InsertBatch : 1;
        for (int i = 0; i < rows; ++i)
            insert.bindValue(i, unique.at(done + i));
        Database::run(insert);
        added += qMax(0, insert.numRowsAffected());
        done += rows;
        if (full || done % InsertBatch == 0 || done == unique.size())
            progress.advance(done);
    }
    batch.finish();
    single.finish();
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
