#pragma once
// The four risk questions as their editor shows them: per question a title
// and eight response boxes, read from and written to Risk_Rating.

#include "platform/prompter.h"
#include "store/errors.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <array>
#include <optional>
#include <stdexcept>

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

// Risk_Rating as the editor read it.
struct RiskQuestionTable {
    // What the boxes show. Every stored text ends in the one blank that
    // saving adds; it is taken off again, so that saving without edits
    // changes nothing. A stored text longer than the boxes take
    // (RiskTextMaxLength) is read whole, for the same reason.
    RiskQuestions questions;
    // The row each box shows (index 0 the title, 1 to 8 the responses 0 to
    // 7): its key and its stored Description; nothing where there is no row.
    struct StoredRow {
        // The engine's key of the row (hiddenRowKey), as the engine gives it.
        QVariant key;
        QVariant text;
    };
    std::array<std::array<std::optional<StoredRow>, RiskResponseCount + 1>, RiskQuestionCount> storedRows;
    // The rows no box can show, described for the user: a question number
    // outside 1 to 4, an order outside -1 to 7, a second row of one box.
    QStringList hiddenRows;
};

RiskQuestionTable readRiskQuestionTable(Database& db);
// The questions alone.
RiskQuestions readRiskQuestions(Database& db);

// A save that found rows changed by another window or program since the
// questions were read: nothing was written.
class RiskQuestionsChanged : public DatabaseError {
public:
    explicit RiskQuestionsChanged(QStringList changes);
    // The boxes whose rows changed: "answer 5 of question 2: now "Low", read as "Lo"".
    const QStringList& changes() const { return changes_; }

private:
    QStringList changes_;
};

// Writes what the user changed: for each box whose text differs between
// the table as read and edited, its row is rewritten (the text as typed
// followed by one blank), added, or, for a response box left blank,
// deleted; a question whose box changed gets a title row if it has none.
// Rows of unchanged boxes and rows no box shows are left as they are; with
// no change nothing is written. Each statement writes its row only where it
// still holds what was read (and adds one only where there is none), so
// another's change is never overwritten: RiskQuestionsChanged names them.
// All or nothing: throws DbError or RiskQuestionsChanged and leaves the
// table as it was on failure.
void writeRiskQuestions(Database& db, const RiskQuestionTable& read, const RiskQuestions& edited);

// The question that tells which rows were changed since the window read
// them and asks whether to show them as they are stored now.
MessageRequest riskQuestionsChangedMessage(const RiskQuestionsChanged& changed);

// The note that tells the user of the rows the window keeps but cannot
// show; empty when there are none.
QString hiddenRiskRowsNote(const QStringList& hiddenRows);

// The message that reports a failed save: "Err #19 - ...".
MessageRequest riskQuestionSaveErrorMessage(const DbError& error);

} // namespace kolva
