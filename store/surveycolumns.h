#pragma once
// The columns of _Archived_SurveyData, described once: name and kind, in the
// order of the table. The first 44 are the ones the field data import writes,
// in the order it writes them; Latitude, Longitude and Report_Flag follow.
// ID, the row's key, is not listed.

#include <QString>
#include <QStringList>
#include <QAnyStringView>

#include <span>

namespace kolva {

enum class SurveyColumnKind {
    Text,
    Int16,    // a whole number of 16 bits
    Int32,    // a whole number of 32 bits
    DateTime, // stored as "yyyy-MM-dd hh:mm:ss"
    Real,
    YesNo,    // 0 or 1
};

struct SurveyColumn {
    const char* name;
    SurveyColumnKind kind;
    QString columnName() const { return QString::fromLatin1(name); }
};

// How many columns the field data import writes.
constexpr int ImportedSurveyColumnCount = 44;

// Every column but ID, in table order.
std::span<const SurveyColumn> surveyColumns();
// The first ImportedSurveyColumnCount of them, in the order the import writes them.
std::span<const SurveyColumn> importedSurveyColumns();
// The column of that name (without regard to case), or nullptr.
const SurveyColumn* findSurveyColumn(QAnyStringView name);
// The names of the columns, in their order.
QStringList surveyColumnNames(std::span<const SurveyColumn> columns);

// The range of a whole-number kind (Int16, Int32, YesNo); 0 to 0 for the others.
qint64 surveyColumnMinimum(SurveyColumnKind kind);
qint64 surveyColumnMaximum(SurveyColumnKind kind);

} // namespace kolva
