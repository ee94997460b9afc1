#pragma once
// The four risk questions as their editor shows them: per question a title
// and eight response boxes, read from and written to Risk_Rating.

#include "platform/prompter.h"

#include <QString>

#include <array>

namespace kolva {

class Database;
class DbError;

constexpr int RiskQuestionCount = 4;
constexpr int RiskResponseCount = 8;
constexpr int RiskTextMaxLength = 25;

struct RiskQuestions {
    std::array<QString, RiskQuestionCount> titles;
    std::array<std::array<QString, RiskResponseCount>, RiskQuestionCount> responses;

    bool operator==(const RiskQuestions&) const = default;
};

// The questions as stored. Every stored text ends in the one blank that
// saving adds; it is taken off again, so that saving without edits changes
// nothing. A stored text longer than the boxes take (RiskTextMaxLength) is
// read whole, for the same reason. Rows of another question number or of an
// order outside -1 to 7 are left out.
RiskQuestions readRiskQuestions(Database& db);

// Replaces the whole table with the questions, all or nothing (throws
// DbError and leaves the old questions on failure). Each question gets its
// title row (order -1) and one row per response box that holds more than
// blanks, numbered by its box; every text is stored as typed followed by
// one blank.
void writeRiskQuestions(Database& db, const RiskQuestions& questions);

// The message that reports a failed save: "Err #19 - ...".
MessageRequest riskQuestionSaveErrorMessage(const DbError& error);

} // namespace kolva
