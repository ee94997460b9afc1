#include "trees/treelookups.h"

#include "store/database.h"

namespace kolva {

namespace {

QString referenceStatement(ReferenceList list)
{
    switch (list) {
    case ReferenceList::Surveyors:
        return QStringLiteral("SELECT Description AS Surveyor FROM Surveyors UNION "
                              "SELECT Surveyor FROM _Archived_SurveyData ORDER BY Surveyor");
    case ReferenceList::Streets:
        return QStringLiteral("SELECT StreetName FROM _Streets_Master UNION "
                              "SELECT StreetName FROM _Archived_SurveyData ORDER BY StreetName");
    case ReferenceList::Species:
        return QStringLiteral("SELECT Description AS Species FROM Species UNION "
                              "SELECT Species FROM _Archived_SurveyData ORDER BY Species");
    case ReferenceList::RiskZones:
        return QStringLiteral("SELECT Description AS RiskZone FROM RiskZone UNION "
                              "SELECT RiskZone FROM _Archived_SurveyData ORDER BY RiskZone");
    }
    return {};
}

} // namespace

QStringList readReferenceList(Database& db, ReferenceList list)
{
    QStringList names;
    QSqlQuery query = db.query(referenceStatement(list));
    while (query.next()) {
        const QVariant value = query.value(0);
        if (value.isNull())
            continue;
        const QString name = value.toString();
        if (!name.isEmpty())
            names << name;
    }
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
    if (!query.next()) {
        result.title = undefinedRiskQuestionTitle();
        return result;
    }
    // The title row sorts first with its order of -1.
    result.title = query.value(0).toString();
    while (query.next())
        result.entries << QString::number(query.value(1).toLongLong()) + QStringLiteral(". ") +
                              query.value(0).toString();
    return result;
}

} // namespace kolva
