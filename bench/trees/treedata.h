#pragma once
// Realistic survey records for benchmarks and previews: a city's streets,
// its crews and species, and assessments spread over five seasons.

#include "store/bulkload.h"
#include "store/database.h"
#include "store/dates.h"
#include "store/surveycolumns.h"

#include <QRandomGenerator>
#include <QStringList>

namespace kolva::bench {

inline QStringList sampleStreets()
{
    static const char* const bases[] = {
        "ELM", "MAIN", "OAK", "PARK", "MAPLE", "CEDAR", "PINE", "WALNUT", "CHESTNUT", "SPRUCE", "BIRCH", "ASH",
        "LINCOLN", "WASHINGTON", "JEFFERSON", "MADISON", "MONROE", "ADAMS", "JACKSON", "FRANKLIN", "HIGHLAND",
        "RIVER", "LAKE", "HILL", "CHURCH", "SCHOOL", "MILL", "BRIDGE", "SPRING", "UNION", "CENTER", "GROVE",
        "O'NEIL", "O'BRIEN", "WILLOW", "SUNSET", "MEADOW", "FOREST", "VALLEY", "PROSPECT", "PLEASANT", "SUMMIT",
        "ORCHARD", "CHERRY", "DOGWOOD", "HICKORY", "LAUREL", "MAGNOLIA", "POPLAR", "SYCAMORE"};
    static const char* const kinds[] = {"ST", "AVE", "RD", "DR", "LN", "CT"};
    QStringList streets;
    for (const char* base : bases)
        for (const char* kind : kinds)
            streets << QStringLiteral("%1 %2").arg(QLatin1String(base), QLatin1String(kind));
    return streets; // 300 streets
}

// Adds count survey records to the database in one transaction.
inline void addSampleSurveyRecords(Database& db, int count, quint32 seed = 20090512)
{
    QRandomGenerator random(seed);
    const QStringList streets = sampleStreets();
    const QStringList surveyors = {"J SMITH", "M GARCIA", "T NGUYEN", "A KOWALSKI", "R PATEL", "L JOHANSSON",
                                   "D OKAFOR", "S MURPHY"};
    const QStringList species = {"ACPL-NORWAY MAPLE",     "ACRU-RED MAPLE",         "ACSA2-SUGAR MAPLE",
                                 "CECA-EASTERN REDBUD",   "FRPE-GREEN ASH",         "GIBI-GINKGO",
                                 "GLTR-HONEYLOCUST",      "MA-CRABAPPLE",           "PLAC-LONDON PLANETREE",
                                 "PYCA-CALLERY PEAR",     "QUPA-PIN OAK",           "QURU-NORTHERN RED OAK",
                                 "TICO-LITTLELEAF LINDEN", "ULAM-AMERICAN ELM",     "ZESE-JAPANESE ZELKOVA"};
    const QStringList zones = {"ARTERIAL ROADS", "DOWNTOWN", "PARKS", "RESIDENTIAL", "SCHOOL ZONES"};
    const QStringList locations = {"Front", "Side", "Rear", "Median", "Park", "Other"};
    const QStringList risk1 = {"1. Less than 4 in ", "2. 4 to 20 in ", "3. Greater than 20 in "};
    const QStringList risk2 = {"1. Low ", "2. Medium ", "3. High ", "4. Extremely High "};
    const QStringList risk3 = {"1. Occasional Use ", "2. Intermittent Use ", "3. Frequent Use ", "4. Constant Use "};
    const QStringList risk4 = {"0. None ", "1. Minor ", "2. Major "};
    const QStringList utilities = {"", "Primary", "Secondary", "Service Drop", "Non-Electric"};
    const QStringList notes = {"", "", "", "Sidewalk heaving", "Resident asked about pruning", "Near bus stop",
                               "Girdling root visible", "Recheck after storm season"};
    const auto pick = [&random](const QStringList& list) { return list.at(int(random.bounded(quint32(list.size())))); };
    const auto coded = [&random](std::initializer_list<const char*> entries) {
        const int n = int(entries.size());
        // Most trees are sound: the first entry ("0. None") is the most common.
        const int at = random.bounded(100) < 70 ? 0 : int(random.bounded(quint32(n)));
        return QString::fromLatin1(*(entries.begin() + at));
    };

    Transaction transaction(db);
    const QStringList columns = surveyColumnNames(importedSurveyColumns());
    // Many rows a statement (through COPY on a server).
    BulkRows rows(db, QStringLiteral("_Archived_SurveyData"), columns);
    const QDateTime firstDay(QDate(2005, 4, 1), QTime(8, 0));
    for (int i = 0; i < count; ++i) {
        const QString r1 = pick(risk1), r2 = pick(risk2), r3 = pick(risk3), r4 = pick(risk4);
        const int rating = (r1.at(0).unicode() - '0') + (r2.at(0).unicode() - '0') + (r3.at(0).unicode() - '0') +
                           (r4.at(0).unicode() - '0');
        const QDateTime evaluated = firstDay.addDays(random.bounded(5 * 365)).addSecs(random.bounded(9 * 3600));
        QStringList actions;
        for (int code = 1; code <= 11; ++code) {
            if (random.bounded(100) < 8)
                actions << QString::number(code);
        }
        const int decay = random.bounded(100) < 15 ? int(random.bounded(1, 12)) : 0;
        const QVariantList values = {
            pick(surveyors),
            toDbDateTime(evaluated),
            pick(zones),
            QString::number(random.bounded(1, 4000)),
            pick(streets),
            qlonglong(1 + i * 3 / 5), // a tree is assessed again now and then
            pick(locations),
            pick(species),
            int(random.bounded(2, 60)),
            QStringLiteral("%1 FT LAWN").arg(random.bounded(3, 12)),
            coded({"0. None", "1. Sidewalk Clear", "2. Road Clear", "3. Road/Sidewalk Clear"}),
            coded({"0. None", "1. Critical sign", "2. Non-critical sign", "3. Intersection", "4. Driveway"}),
            coded({"0. None", "1. Fungal", "2. Insect/Mechanical", "3. Yes"}),
            coded({"0. None", "1. Seam", "2. Shear", "3. Inrolled", "4. Ribbed", "5. Horizontal"}),
            coded({"0. None", "1. Entire Tree", "2. Branch", "3. Lodged"}),
            coded({"0. None", "1. Decaying Wood", "2. Wood", "3. Cavity with Decay", "4. Cavity w/o Decay"}),
            coded({"0. Crown Balanced", "1. Unbalanced Crown"}),
            coded({"0. Normal Branch Growth", "1. Abnormal Branch Growth"}),
            coded({"0. No Crown Damage", "1. Topped", "2. Storm Damage"}),
            coded({"0. None", "1. Included Bark", "2. Epicormic Branches", "3. Epicormic/Incl Bark"}),
            coded({"0. None", "1. Fungal", "2. Insect/Mechanical", "3. Yes"}),
            coded({"0. None", "1. Seam", "2. Shear", "3. Inrolled"}),
            coded({"0. None", "1. Decaying Wood", "2. Wood", "3. Cavity with Decay"}),
            decay,
            decay ? int(random.bounded(8, 40)) : 0,
            decay ? int(random.bounded(5, 60)) : 0,
            coded({"0. No Codiminant", "1. Low Codiminant", "2. Codiminant w/o BBR"}),
            coded({"0. No Lean", "1. Lean", "2. Lean with Tension Buckling"}),
            coded({"0. No", "1. Planted", "2. Grade Change", "3. Yes"}),
            coded({"0. None", "1. Yes"}),
            coded({"0. None", "1. Yes"}),
            coded({"0. No SGR's", "1. Stem Encircling Root", "2. Stem Girdling Root"}),
            coded({"0. Roots Intact", "1. Severed", "2. Restricted Root System"}),
            r1,
            r2,
            r3,
            r4,
            rating,
            r4.startsWith(QLatin1Char('2')) ? QStringLiteral("Leaning over playground") : QString(),
            QString::number(evaluated.date().year() + 1 + int(random.bounded(3))),
            actions.join(QLatin1Char(',')),
            pick(notes),
            toDbDateTime(evaluated.addDays(random.bounded(1, 20))),
            pick(utilities),
        };
        rows.add(values);
        if (rows.pending() == 20000)
            rows.write();
    }
    rows.write();
    transaction.commit();
}

} // namespace kolva::bench
