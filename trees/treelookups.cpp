#include "trees/treelookups.h"

#include "store/referencelists.h"

namespace kolva {

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
    const std::vector<RiskRatingRow> rows = readRiskRatingRows(db, question);
    for (const RiskRatingRow& row : rows) {
        // The title row sorts first with its order of -1; a question without
        // one has an empty title, and its answers stay answers.
        if (row.order == -1 && result.title.isEmpty() && result.entries.isEmpty())
            result.title = row.description;
        else if (row.order >= 0)
            result.entries << QString::number(row.order) + QStringLiteral(". ") + row.description;
    }
    if (rows.empty())
        result.title = undefinedRiskQuestionTitle();
    return result;
}

} // namespace kolva
