#pragma once
// The entries the lists of the Tree editor offer: the reference lists (the
// reference table united with the values already stored in the survey
// records), the fixed coded lists of the assessment, and the four risk
// questions.

#include <QString>
#include <QStringList>

#include <vector>

namespace kolva {

class Database;

enum class ReferenceList { Surveyors, Streets, Species, RiskZones };

// The names of the reference table and of the survey records together,
// sorted without regard to case, each once. Null and empty names are left
// out: a record without a name shows an empty box.
QStringList readReferenceList(Database& db, ReferenceList list);

// A fixed list of coded values and the list control that offers it.
struct CodedList {
    QString control;
    QStringList entries; // an empty first entry lets the user clear the value
};
// The coded lists in the order they are filled.
const std::vector<CodedList>& codedLists();
// The entries of the location list.
QStringList locationEntries();

// One risk question as the Tree editor offers it.
struct RiskQuestionList {
    QString title;       // "** UNDEFINED **" for a question without rows
    QStringList entries; // "2. 4 to 20 in " : the score, ". ", the answer
};
RiskQuestionList readRiskQuestionList(Database& db, int question);

QString undefinedRiskQuestionTitle(); // "** UNDEFINED **"

} // namespace kolva
