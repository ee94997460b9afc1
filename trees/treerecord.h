#pragma once
// One survey record as the Tree editor edits it: the columns its controls are
// bound to, reading a record and writing corrected values back, the two
// required fields, the risk rating, the corrective-action list and the
// delete question. Nothing here touches a widget.

#include "platform/prompter.h"
#include "store/correctiveactions.h"
#include "store/errors.h"
#include "store/surveyhistory.h"

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
class DbError;

// What a bound column holds.
enum class TreeColumnKind {
    Text,
    WholeNumber, // an integer column
    DateTime,    // shown as its day, stored as "yyyy-MM-dd HH:mm:ss"
    YearText,    // a year of two or four digits kept as typed (the reinspection year)
    Decimal,     // a real column (latitude, longitude)
};

struct TreeColumn {
    QString name;  // the column of _Archived_SurveyData
    TreeColumnKind kind = TreeColumnKind::Text;
    QString label; // what the user knows the field by
    qint64 minimum = 0;
    qint64 maximum = 0; // the range of a number
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
// whole number its decimal form, a date its day as "yyyy-MM-dd", a real
// number its shortest exact decimal form.
QString shownValue(const TreeColumn& column, const QVariant& stored);

// Why a typed date is not one: "02/30/2009 is not a date: February 2009 has
// 28 days." The user types month/day/year.
QString notADateMessage(const QString& typed);

// A corrected value that cannot be stored, or a row the database refused.
// The record is left as it was.
class TreeRecordRefused : public InputError {
public:
    TreeRecordRefused(QString column, QString userMessage);
    // The column at fault, or empty when the database refused the whole row.
    QString column() const { return column_; }
    QString userMessage() const { return userText(); }

private:
    QString column_;
};

// The value to store for what a control shows. An empty number, year or
// date is stored as null; a date keeps the time of day of the stored value
// and may be shown as "yyyy-MM-dd" or typed as month/day/year. Throws
// TreeRecordRefused for a number that is not whole or does not fit its
// column, and for a date that is not one.
QVariant storedValue(const TreeColumn& column, const QString& shown, const QVariant& original);

// A text the user edited, written back so that the characters the user did
// not touch stay as stored. shownBefore is what the control showed of stored
// (its line ends as "\n"), shownNow what it shows now; the part between
// their common beginning and end is the edit. New line ends take the form
// of the stored text's first one.
QString mergeEditedText(const QString& stored, const QString& shownBefore, const QString& shownNow);
// How a multi-line box shows a stored text: every line end ("\r\n", "\r")
// and paragraph separator as "\n"; nothing else changes (a line separator,
// U+2028, stays).
QString multiLineShown(const QString& stored);

// A field that another window or program changed since the record was read.
struct TreeFieldConflict {
    QString column;
    QVariant shown;  // the stored value the editor read
    QVariant stored; // the value stored now
    std::optional<HistoryEntry> change; // the latest change of the field in the history
};

// A save that found values changed by someone else since the record was
// read: nothing was written.
class TreeRecordChanged : public TreeRecordRefused {
public:
    explicit TreeRecordChanged(std::vector<TreeFieldConflict> conflicts);
    const std::vector<TreeFieldConflict>& conflicts() const { return conflicts_; }

private:
    std::vector<TreeFieldConflict> conflicts_;
};

// The question that tells who changed the record since it was read, and
// asks whether to show it as it is stored now (Yes is the default).
MessageRequest treeRecordChangedMessage(const std::vector<TreeFieldConflict>& conflicts);

// Writes the values into the record with that ID and, for every field whose
// stored value changes, a 'changed' row of its history, in one transaction.
// The same statement checks that every written field still holds the value
// of read (the record as the caller read it); when one does not, nothing is
// written and TreeRecordChanged names the fields. Throws TreeRecordRefused
// when the record is gone or the database refuses the row; it and its
// history are then unchanged. Gives the written fields as now stored.
TreeRecord writeTreeRecord(Database& db, qint64 id, const std::vector<std::pair<QString, QVariant>>& values,
                           const TreeRecord& read, const HistoryStamp& stamp);

// Why a record could not be read, for the user: the database held by
// another program, the server's connection lost, or the engine's reason.
QString recordNotReadMessage(const DbError& error);

// Who deleted the record and when, from its history ("deleted by ann on
// 05/12/2009 10:15:00"); empty when the history does not tell. Throws DbError.
QString deletedBy(Database& db, qint64 id);
// The message for a record that is no longer there: who deleted it and
// when, where the history tells.
QString recordGoneMessage(Database& db, qint64 id);

// Deletes the record with that ID and keeps the whole of it in the history,
// in one transaction. False when the record is no longer there; throws
// DbError when the database refuses, and then nothing is changed.
bool deleteTreeRecord(Database& db, qint64 id, const HistoryStamp& stamp);

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
// The list after the user clicked a box: the codes of the ticked boxes and
// every piece of the stored list that no box stands for ("12"), ascending by
// number, pieces without a number last; empty pieces are dropped. "3,12"
// with boxes 0 and 2 ticked gives "1,3,12".
QString correctiveActionText(const CorrectiveActionBoxes& boxes, const QString& stored);
// The boxes of a stored list: a box is ticked when any comma-separated piece
// reads as its code. "3, 1,3" ticks boxes 0 and 2; "12" ticks none.
CorrectiveActionBoxes correctiveActionBoxes(const QString& stored);

// "Delete Tree ID:12, (Red Maple DBH=14)\nsurveyed on Tuesday, 05/12/2009?"
QString deleteTreeQuestion(const QVariant& treeId, const QVariant& species, const QVariant& dbh,
                           const QVariant& dateEvaluated);
MessageRequest deleteTreeMessage(const QVariant& treeId, const QVariant& species, const QVariant& dbh,
                                 const QVariant& dateEvaluated);

// A deleted record as its history keeps it (readableRecord()), in short:
// "Tree ID 12, Red Maple, DBH 14, 05/12/2009, 12 ELM ST".
QString deletedRecordSummary(const QString& wholeRecord);

// A count with thousands separated by commas, "0" for none ("1,234").
QString formatEntryCount(qint64 count);

} // namespace kolva
