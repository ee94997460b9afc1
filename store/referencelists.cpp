#include "store/referencelists.h"

#include "store/database.h"
#include "store/sqlforms.h"

#include <map>

namespace kolva {

namespace {

// The statements of one list; table names cannot be bound, so each list has
// its own fixed texts.
struct ListSource {
    const char* entries;  // ID and name, in name order
    const char* first;    // the lowest name the survey records hold
    const char* next;     // the next name after the bound one
};

// The names of the survey records are found one after the other through the
// index of their column, each with one look-up, instead of reading every
// record: a handful of look-ups for a million records.
ListSource listSource(ReferenceList list)
{
    switch (list) {
    case ReferenceList::Surveyors:
        return {"SELECT ID, Description FROM Surveyors ORDER BY Description, ID",
                "SELECT MIN(Surveyor) FROM _Archived_SurveyData WHERE Surveyor>''",
                "SELECT MIN(Surveyor) FROM _Archived_SurveyData WHERE Surveyor>?"};
    case ReferenceList::Streets:
        return {"SELECT 0, StreetName FROM _Streets_Master ORDER BY StreetName",
                "SELECT MIN(StreetName) FROM _Archived_SurveyData WHERE StreetName>''",
                "SELECT MIN(StreetName) FROM _Archived_SurveyData WHERE StreetName>?"};
    case ReferenceList::Species:
        return {"SELECT ID, Description FROM Species ORDER BY Description, ID",
                "SELECT MIN(Species) FROM _Archived_SurveyData WHERE Species>''",
                "SELECT MIN(Species) FROM _Archived_SurveyData WHERE Species>?"};
    case ReferenceList::RiskZones:
        break;
    }
    return {"SELECT ID, Description FROM RiskZone ORDER BY Description, ID",
            "SELECT MIN(RiskZone) FROM _Archived_SurveyData WHERE RiskZone>''",
            "SELECT MIN(RiskZone) FROM _Archived_SurveyData WHERE RiskZone>?"};
}

// The key the engine compares names by in COLLATE NOCASE: ASCII letters
// folded, then the UTF-8 bytes.
QByteArray nocaseKey(const QString& name)
{
    QByteArray key = name.toUtf8();
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z')
            c = char(c + ('a' - 'A'));
    }
    return key;
}

QString nameOf(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

} // namespace

std::vector<ReferenceEntry> readReferenceEntries(Database& db, ReferenceList list)
{
    std::vector<ReferenceEntry> entries;
    QSqlQuery query = db.query(QString::fromLatin1(listSource(list).entries));
    while (query.next())
        entries.push_back({query.value(0).toLongLong(), nameOf(query.value(1))});
    return entries;
}

QStringList readReferenceNames(Database& db, ReferenceList list)
{
    QStringList names;
    for (ReferenceEntry& entry : readReferenceEntries(db, list))
        names << std::move(entry.name);
    return names;
}

QStringList readHandheldStreetNames(Database& db)
{
    QStringList names;
    QSqlQuery query = db.query(QStringLiteral("SELECT StreetName FROM Streets_PDA ORDER BY StreetName"));
    while (query.next())
        names << query.value(0).toString();
    return names;
}

QStringList readReferenceList(Database& db, ReferenceList list)
{
    const ListSource source = listSource(list);
    std::map<QByteArray, QString> byKey; // the first spelling of each name, by its key
    const auto add = [&byKey](const QString& name) {
        if (!name.isEmpty())
            byKey.emplace(nocaseKey(name), name);
    };
    for (const ReferenceEntry& entry : readReferenceEntries(db, list))
        add(entry.name);
    QSqlQuery next = db.prepare(QString::fromLatin1(source.next));
    for (QVariant name = db.scalar(QString::fromLatin1(source.first)); !name.isNull();) {
        add(name.toString());
        next.bindValue(0, name);
        Database::run(next);
        name = next.next() ? next.value(0) : QVariant();
        next.finish();
    }
    QStringList names;
    names.reserve(qsizetype(byKey.size()));
    for (const auto& [key, name] : byKey)
        names << name;
    return names;
}

QStringList readRiskZonesAsAdded(Database& db)
{
    QStringList names;
    QSqlQuery query = db.query(QStringLiteral("SELECT Description FROM RiskZone ORDER BY ID"));
    while (query.next())
        names << nameOf(query.value(0));
    return names;
}

std::vector<RiskRatingRow> readRiskRatingRows(Database& db, int question)
{
    std::vector<RiskRatingRow> rows;
    QSqlQuery query = db.query(QStringLiteral("SELECT Risk_Order, Description FROM Risk_Rating "
                                              "WHERE Risk_Question_Num=? ORDER BY Risk_Order, %1").arg(entryOrder(db)),
                               {question});
    while (query.next())
        rows.push_back({query.value(0).toLongLong(), query.value(1).toString()});
    return rows;
}

} // namespace kolva
