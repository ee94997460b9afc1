#include "store/surveycolumns.h"

#include <array>
#include <limits>

namespace kolva {

namespace {

using K = SurveyColumnKind;

constexpr std::array<SurveyColumn, 47> Columns = {{
    {"Surveyor", K::Text},
    {"Date_Evaluated", K::DateTime},
    {"RiskZone", K::Text},
    {"StreetNum", K::Text},
    {"StreetName", K::Text},
    {"Tree_ID", K::Int32},
    {"Location", K::Text},
    {"Species", K::Text},
    {"DBH", K::Int16},
    {"Site", K::Text},
    {"Obstructions_Physical", K::Text},
    {"Obstructions_Visual", K::Text},
    {"Crown_Canker", K::Text},
    {"Crown_Crack", K::Text},
    {"Crown_Deadwood", K::Text},
    {"Crown_Decay", K::Text},
    {"Crown_Arch_1", K::Text},
    {"Crown_Arch_2", K::Text},
    {"Crown_Arch_3", K::Text},
    {"WeakUnion", K::Text},
    {"Trunk_Canker", K::Text},
    {"Trunk_Crack", K::Text},
    {"Trunk_Decay", K::Text},
    {"TrunkDecay_Shell", K::Int16},
    {"TrunkDecay_Diam", K::Int16},
    {"TrunkDecay_Pct", K::Int16},
    {"Trunk_Arch_1", K::Text},
    {"Trunk_Arch_2", K::Text},
    {"Roots_Deep", K::Text},
    {"Roots_Injury", K::Text},
    {"Roots_Decay", K::Text},
    {"Roots_Arch1", K::Text},
    {"Roots_Arch2", K::Text},
    {"Size_Defect", K::Text},
    {"Prob_Failure", K::Text},
    {"Prob_TargetImpact", K::Text},
    {"OtherRisk", K::Text},
    {"Hazard_Rating", K::Int16},
    {"Desc_OtherRisk", K::Text},
    {"ReinspectYear", K::Text},
    {"CorrectiveActions", K::Text},
    {"Note", K::Text},
    {"Date_Added", K::DateTime},
    {"Utility_Conflict", K::Text},
    {"Latitude", K::Real},
    {"Longitude", K::Real},
    {"Report_Flag", K::YesNo},
}};

static_assert(Columns[ImportedSurveyColumnCount - 1].kind == K::Text && Columns[ImportedSurveyColumnCount].kind == K::Real,
              "the imported columns come first");

} // namespace

std::span<const SurveyColumn> surveyColumns()
{
    return Columns;
}

std::span<const SurveyColumn> importedSurveyColumns()
{
    return surveyColumns().first(ImportedSurveyColumnCount);
}

const SurveyColumn* findSurveyColumn(QAnyStringView name)
{
    for (const SurveyColumn& column : Columns) {
        if (QAnyStringView::compare(name, QLatin1String(column.name), Qt::CaseInsensitive) == 0)
            return &column;
    }
    return nullptr;
}

QStringList surveyColumnNames(std::span<const SurveyColumn> columns)
{
    QStringList names;
    names.reserve(qsizetype(columns.size()));
    for (const SurveyColumn& column : columns)
        names << column.columnName();
    return names;
}

qint64 surveyColumnMinimum(SurveyColumnKind kind)
{
    switch (kind) {
    case K::Int16:
        return std::numeric_limits<qint16>::min();
    case K::Int32:
        return std::numeric_limits<qint32>::min();
    default:
        return 0;
    }
}

qint64 surveyColumnMaximum(SurveyColumnKind kind)
{
    switch (kind) {
    case K::Int16:
        return std::numeric_limits<qint16>::max();
    case K::Int32:
        return std::numeric_limits<qint32>::max();
    case K::YesNo:
        return 1;
    default:
        return 0;
    }
}

} // namespace kolva
