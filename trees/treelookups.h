#pragma once
// The entries the lists of the Tree editor offer: the reference lists (the
// reference table united with the values already stored in the survey
// records), the fixed coded lists of the assessment, and the four risk
// questions.

#include "store/referencelists.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace kolva {

class Database;

// The reference lists (readReferenceList: the table united with the names
// the survey records hold, in name order) come from store/referencelists.h.

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
