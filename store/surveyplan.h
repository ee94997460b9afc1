#pragma once
// How the survey records of a range of evaluation dates are read at least
// cost. A short range is found through the date index, a look-up in the table
// per record; a range that holds a large share of the table costs less read in
// one pass over the table, which also gives the records in the order of their
// ID without a sort. The engine has no figures on how the dates spread, so the
// share is counted on the index, up to the point where the pass wins.

#include <QString>

namespace kolva {

class Database;

// From this share of the records on, one pass over the table is cheaper
// than a look-up per record (measured on a million records: the look-ups cost
// about ten times a record of the pass).
constexpr double SurveyPassShare = 0.1;

// Whether the records evaluated from `from` to `to` (stored date texts, both
// included) are better read in one pass over the whole table.
bool surveyRangeWantsPass(Database& db, const QString& from, const QString& to);

// The survey table as a FROM clause names it for that reading: as it is, or
// held to one pass in the order of its ID.
QString surveyTableForRange(Database& db, const QString& from, const QString& to);
QString surveyTableRead(const Database& db, bool inOnePass);

} // namespace kolva
