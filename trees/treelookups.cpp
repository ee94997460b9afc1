#include "trees/treelookups.h"

#include "store/database.h"

#include <map>

namespace kolva {

namespace {

struct ReferenceSource {
    const char* table;       // the reference table, its names in Description
    const char* first;       // the lowest name the survey records hold
    const char* next;        // the next name after the bound one
};

// The names of the survey records are found one after the other through the
// index of their column, each with one look-up, instead of reading every
// record: a handful of look-ups for a million records.
ReferenceSource referenceSource(ReferenceList list)
{
    switch (list) {
    case ReferenceList::Surveyors:
        return {"SELECT Description FROM Surveyors",
                "SELECT MIN(Surveyor) FROM _Archived_SurveyData WHERE Surveyor>''",
                "SELECT MIN(Surveyor) FROM _Archived_SurveyData WHERE Surveyor>?"};
    case ReferenceList::Streets:
        return {"SELECT StreetName FROM _Streets_Master",
                "SELECT MIN(StreetName) FROM _Archived_SurveyData WHERE StreetName>''",
                "SELECT MIN(StreetName) FROM _Archived_SurveyData WHERE StreetName>?"};
    case ReferenceList::Species:
        return {"SELECT Description FROM Species",
                "SELECT MIN(Species) FROM _Archived_SurveyData WHERE Species>''",
                "SELECT MIN(Species) FROM _Archived_SurveyData WHERE Species>?"};
    case ReferenceList::RiskZones:
        return {"SELECT Description FROM RiskZone",
                "SELECT MIN(RiskZone) FROM _Archived_SurveyData WHERE RiskZone>''",
                "SELECT MIN(RiskZone) FROM _Archived_SurveyData WHERE RiskZone>?"};
    }
    return {};
}

// The key the engine compares names by (COLLATE NOCASE folds ASCII letters only).
QString nocaseKey(const QString& name)
{
    QString key = name;
    for (QChar& c : key) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return key;
}

} // namespace

QStringList readReferenceList(Database& db, ReferenceList list)
{
    const ReferenceSource source = referenceSource(list);
    std::map<QString, QString> byKey; // the first spelling of each name, by its key
    const auto add = [&byKey](const QVariant& value) {
        if (value.isNull())
            return;
        const QString name = value.toString();
        if (!name.isEmpty())
            byKey.emplace(nocaseKey(name), name);
    };
    {
        QSqlQuery query = db.query(QString::fromLatin1(source.table));
        while (query.next())
            add(query.value(0));
    }
    QSqlQuery next = db.prepare(QString::fromLatin1(source.next));
    for (QVariant name = db.scalar(QString::fromLatin1(source.first)); !name.isNull();) {
        add(name);
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

const std::vector<CodedList>& codedLists()
{
    static const std::vector<CodedList> lists = {
        {QStringLiteral("cboPhysical"), {"0. None", "1. Sidewalk Clear", "2. Road Clear", "3. Road/Sidewalk Clear"}},
        {QStringLiteral("cboVisual"),
         {"0. None", "1. Critical sign", "2. Non-critical sign", "3. Intersection", "4. Driveway"}},
        {QStringLiteral("cboUtility"), {"Primary", "Secondary", "Service Drop", "Non-Electric"}},
        {QStringLiteral("cboCrownCanker"), {"", "0. None", "1. Fungal", "2. Insect/Mechanical", "3. Yes"}},
        {QStringLiteral("cboCrownCrack"),
         {"", "0. None", "1. Seam", "2. Shear", "3. Inrolled", "4. Ribbed", "5. Horizontal"}},
        {QStringLiteral("cboCrownDeadwood"), {"", "0. None", "1. Entire Tree", "2. Branch", "3. Lodged"}},
        {QStringLiteral("cboCrownDecay"),
         {"", "0. None", "1. Decaying Wood", "2. Wood", "3. Cavity with Decay", "4. Cavity w/o Decay"}},
        {QStringLiteral("cboCrownArch1"), {"", "0. Crown Balanced", "1. Unbalanced Crown"}},
        {QStringLiteral("cboCrownArch2"), {"", "0. Normal Branch Growth", "1. Abnormal Branch Growth"}},
        {QStringLiteral("cboCrownArch3"), {"", "0. No Crown Damage", "1. Topped", "2. Storm Damage"}},
        {QStringLiteral("cboCrownUnion"),
         {"", "0. None", "1. Included Bark", "2. Epicormic Branches", "3. Epicormic/Incl Bark", "4. None"}},
        {QStringLiteral("cboTrunkArch1"), {"", "0. No Codiminant", "1. Low Codiminant", "2. Codiminant w/o BBR"}},
        {QStringLiteral("cboTrunkArch2"), {"", "0. No Lean", "1. Lean", "2. Lean with Tension Buckling"}},
        {QStringLiteral("cboRootsDeep"), {"", "0. No", "1. Planted", "2. Grade Change", "3. Yes"}},
        {QStringLiteral("cboRoot_Injury"), {"", "0. None", "1. Yes"}},
        {QStringLiteral("cboRootsDecay"), {"", "0. None", "1. Yes"}},
        {QStringLiteral("cboRootsArch1"),
         {"", "0. No SGR's", "1. Stem Encircling Root", "2. Stem Girdling Root"}},
        {QStringLiteral("cboRootsArch2"), {"", "0. Roots Intact", "1. Severed", "2. Restricted Root System"}},
    };
    return lists;
}

QStringList locationEntries()
{
    return {"Front", "Side", "Rear", "Median", "Park", "Other"};
}

QString undefinedRiskQuestionTitle()
{
    return QStringLiteral("** UNDEFINED **");
}

RiskQuestionList readRiskQuestionList(Database& db, int question)
{
    RiskQuestionList result;
    QSqlQuery query = db.query(QStringLiteral("SELECT Description,Risk_Order FROM Risk_Rating "
                                              "WHERE Risk_Question_Num=? ORDER BY Risk_Order"),
                               {question});
    bool any = false;
    while (query.next()) {
        any = true;
        const qint64 order = query.value(1).toLongLong();
        // The title row sorts first with its order of -1; a question without
        // one has an empty title, and its answers stay answers.
        if (order == -1 && result.title.isEmpty() && result.entries.isEmpty())
            result.title = query.value(0).toString();
        else if (order >= 0)
            result.entries << QString::number(order) + QStringLiteral(". ") + query.value(0).toString();
    }
    if (!any)
        result.title = undefinedRiskQuestionTitle();
    return result;
}

} // namespace kolva
