#pragma once
// One survey record as the Tree editor edits it: the columns its controls are
// bound to, reading a record and writing corrected values back, the two
// required fields, the risk rating, the corrective-action list and the
// delete question. Nothing here touches a widget.

#include "platform/prompter.h"
#include "store/correctiveactions.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <array>
#include <map>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace kolva {

class Database;

// What a bound column holds.
enum class TreeColumnKind { Text, WholeNumber, DateTime };

struct TreeColumn {
    QString name;  // the column of _Archived_SurveyData
    TreeColumnKind kind = TreeColumnKind::Text;
    QString label; // what the user knows the field by
    qint64 minimum = 0;
    qint64 maximum = 0; // the range of a whole number
};

// Every column a control of the Details page is bound to.
const std::vector<TreeColumn>& boundTreeColumns();
// The bound column of that name, or nullptr.
const TreeColumn* findTreeColumn(const QString& name);

// The bound columns of one record, as stored (null stays null).
using TreeRecord = std::map<QString, QVariant>;

// Reads the bound columns of the record with that ID; nothing when it is gone.
std::optional<TreeRecord> readTreeRecord(Database& db, qint64 id);

// The text a control shows for a stored value: a null is the empty text, a
// whole number its decimal form, a date its day as "yyyy-MM-dd".
QString shownValue(const TreeColumn& column, const QVariant& stored);

// A corrected value that cannot be stored, or a row the database refused.
// The record is left as it was.
class TreeRecordRefused : public std::runtime_error {
public:
    TreeRecordRefused(QString column, QString userMessage);
    // The column at fault, or empty when the database refused the whole row.
    QString column() const { return column_; }
    QString userMessage() const { return userMessage_; }

private:
    QString column_;
    QString userMessage_;
};

// The value to store for what a control shows. An empty whole number or date
// is stored as null; a date keeps the time of day of the stored value.
// Throws TreeRecordRefused for a number that is not whole or does not fit
// its column, and for a day that is not a date.
QVariant storedValue(const TreeColumn& column, const QString& shown, const QVariant& original);

// Writes the values into the record with that ID in one statement. Throws
// TreeRecordRefused when the database refuses the row; it is then unchanged.
void writeTreeRecord(Database& db, qint64 id, const std::vector<std::pair<QString, QVariant>>& values);

// The caption of the message that tells a record was not saved.
QString recordNotSavedCaption();

// The two fields a record cannot be saved without, tested in this order and
// without trimming.
enum class TreeCheck { Ok, MissingTreeId, MissingSurveyor };
TreeCheck checkTreeRecord(const QString& treeIdText, const QString& surveyorText);
// The message that reports a failed check.
MessageRequest treeCheckMessage(TreeCheck check);

// The risk rating of four risk answers: each non-empty answer scores the
// digit it begins with, and the rating is their sum; "0" when an answer
// begins with anything but a digit.
QString riskRatingText(const std::array<QString, 4>& answers);

// The corrective-action boxes 0 to 10 stand for the codes 1 to 11.
using CorrectiveActionBoxes = std::array<bool, CorrectiveActionCount>;
// The codes of the ticked boxes, ascending, joined by "," ("1,5,11").
QString correctiveActionText(const CorrectiveActionBoxes& boxes);
// The boxes of a stored list: a box is ticked when any comma-separated piece
// reads as its code. "3, 1,3" ticks boxes 0 and 2; "12" ticks none.
CorrectiveActionBoxes correctiveActionBoxes(const QString& stored);

// Deletes the record with that ID. Throws DbError.
void deleteTreeRecord(Database& db, qint64 id);

// "Delete Tree ID:12, (Red Maple DBH=14)\nsurveyed on Tuesday, 05/12/2009?"
QString deleteTreeQuestion(const QVariant& treeId, const QVariant& species, const QVariant& dbh,
                           const QVariant& dateEvaluated);
MessageRequest deleteTreeMessage(const QVariant& treeId, const QVariant& species, const QVariant& dbh,
                                 const QVariant& dateEvaluated);

// A count with thousands separated by commas, "0" for none ("1,234").
QString formatEntryCount(qint64 count);

} // namespace kolva
