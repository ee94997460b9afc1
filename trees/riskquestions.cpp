#include "trees/riskquestions.h"

#include "store/database.h"

namespace kolva {

namespace {

// Takes off the one trailing blank that saving adds.
QString withoutSavedBlank(QString text)
{
    if (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

QString describeRow(const QVariant& number, const QVariant& order, const QString& text, bool second)
{
    const QString where = order.toString() == QLatin1String("-1")
                              ? QStringLiteral("the title of question %1").arg(number.toString())
                              : QStringLiteral("answer %1 of question %2").arg(order.toString(), number.toString());
    return QStringLiteral("%1%2 \"%3\"").arg(second ? QStringLiteral("a second row for ") : QString(), where,
                                             text.trimmed());
}

} // namespace

RiskQuestionTable readRiskQuestionTable(Database& db)
{
    RiskQuestionTable table;
    QSqlQuery query = db.query(QStringLiteral("SELECT Risk_Question_Num,Risk_Order,Description,%1 FROM Risk_Rating")
                                   .arg(hiddenRowKey(db)));
    while (query.next()) {
        bool numberOk = false, orderOk = false;
        const int number = query.value(0).toInt(&numberOk);
        const int order = query.value(1).toInt(&orderOk);
        const QVariant stored = query.value(2);
        const QString text = stored.isNull() ? QString() : stored.toString();
        if (!numberOk || !orderOk || number < 1 || number > RiskQuestionCount || order < -1 ||
            order >= RiskResponseCount) {
            table.hiddenRows << describeRow(query.value(0), query.value(1), text, false);
            continue;
        }
        std::optional<RiskQuestionTable::StoredRow>& slot = table.storedRows[size_t(number - 1)][size_t(order + 1)];
        if (slot) {
            table.hiddenRows << describeRow(number, order, text, true);
            continue;
        }
        slot = RiskQuestionTable::StoredRow{query.value(3), stored};
        if (order == -1)
            table.questions.titles[size_t(number - 1)] = withoutSavedBlank(text);
        else
            table.questions.responses[size_t(number - 1)][size_t(order)] = withoutSavedBlank(text);
    }
    return table;
}

RiskQuestions readRiskQuestions(Database& db)
{
    return readRiskQuestionTable(db).questions;
}

RiskQuestionsChanged::RiskQuestionsChanged(QStringList changes)
    : DatabaseError(QStringLiteral("The risk questions were changed by another window or program since they were read.")),
      changes_(std::move(changes))
{
}

namespace {

QString boxName(int question, int slot)
{
    return slot == 0 ? QStringLiteral("the title of question %1").arg(question)
                     : QStringLiteral("answer %1 of question %2").arg(slot - 1).arg(question);
}

QString rowText(const std::optional<RiskQuestionTable::StoredRow>& row)
{
    if (!row)
        return QStringLiteral("(no row)");
    return QStringLiteral("\"%1\"").arg(withoutSavedBlank(row->text.isNull() ? QString() : row->text.toString()));
}

bool sameRow(const std::optional<RiskQuestionTable::StoredRow>& a, const std::optional<RiskQuestionTable::StoredRow>& b)
{
    if (!a || !b)
        return !a && !b;
    return a->key == b->key && a->text.isNull() == b->text.isNull() && a->text.toString() == b->text.toString();
}

// The boxes whose rows differ between two readings of the table.
QStringList changedRows(const RiskQuestionTable& read, const RiskQuestionTable& now)
{
    QStringList changes;
    for (int q = 0; q < RiskQuestionCount; ++q) {
        for (int slot = 0; slot <= RiskResponseCount; ++slot) {
            const auto& before = read.storedRows[size_t(q)][size_t(slot)];
            const auto& after = now.storedRows[size_t(q)][size_t(slot)];
            if (!sameRow(before, after))
                changes << QStringLiteral("%1: now %2, read as %3").arg(boxName(q + 1, slot), rowText(after), rowText(before));
        }
    }
    return changes;
}

// Writes the edited boxes; false when a row no longer holds what was read.
bool writeEditedRows(Database& db, const RiskQuestionTable& read, const RiskQuestions& edited)
{
    Transaction transaction(db);
    const QString key = hiddenRowKey(db);
    // A box without a row gets one only while no other has been added for it.
    QSqlQuery insert = db.prepare(QStringLiteral(
        "INSERT INTO Risk_Rating (Risk_Question_Num,Risk_Order,Description) SELECT ?,?,? WHERE NOT EXISTS "
        "(SELECT 1 FROM Risk_Rating WHERE Risk_Question_Num=? AND Risk_Order=?)"));
    // The row the box shows, and only that one (not a second row of the
    // same box), while it still holds the text read.
    QSqlQuery update = db.prepare(
        QStringLiteral("UPDATE Risk_Rating SET Description=? WHERE %1=? AND %2").arg(key, holdsExactly(db, QStringLiteral("Description"))));
    QSqlQuery remove = db.prepare(
        QStringLiteral("DELETE FROM Risk_Rating WHERE %1=? AND %2").arg(key, holdsExactly(db, QStringLiteral("Description"))));
    bool unchanged = true;
    const auto write = [&](int number, int order, const std::optional<RiskQuestionTable::StoredRow>& stored,
                           const QString& text, bool keepBlank) {
        const bool blank = !keepBlank && text.trimmed().isEmpty();
        QSqlQuery* ran = nullptr;
        if (!stored) {
            if (blank)
                return;
            insert.bindValue(0, number);
            insert.bindValue(1, order);
            insert.bindValue(2, text + QLatin1Char(' '));
            insert.bindValue(3, number);
            insert.bindValue(4, order);
            ran = &insert;
        } else if (blank) {
            remove.bindValue(0, stored->key);
            remove.bindValue(1, stored->text);
            ran = &remove;
        } else {
            update.bindValue(0, text + QLatin1Char(' '));
            update.bindValue(1, stored->key);
            update.bindValue(2, stored->text);
            ran = &update;
        }
        Database::run(*ran);
        if (ran->numRowsAffected() != 1)
            unchanged = false;
    };
    for (int q = 0; q < RiskQuestionCount && unchanged; ++q) {
        const auto& stored = read.storedRows[size_t(q)];
        bool changed = edited.titles[size_t(q)] != read.questions.titles[size_t(q)];
        for (int r = 0; r < RiskResponseCount && unchanged; ++r) {
            const QString& before = read.questions.responses[size_t(q)][size_t(r)];
            const QString& after = edited.responses[size_t(q)][size_t(r)];
            if (before == after)
                continue;
            changed = true;
            write(q + 1, r, stored[size_t(r + 1)], after, false);
        }
        // The title row is written even when the title is empty.
        if (unchanged && changed && (!stored[0] || edited.titles[size_t(q)] != read.questions.titles[size_t(q)]))
            write(q + 1, -1, stored[0], edited.titles[size_t(q)], true);
    }
    insert.finish();
    update.finish();
    remove.finish();
    if (!unchanged)
        return false;
    transaction.commit();
    return true;
}

} // namespace

void writeRiskQuestions(Database& db, const RiskQuestionTable& read, const RiskQuestions& edited)
{
    if (read.questions == edited)
        return;
    if (writeEditedRows(db, read, edited))
        return;
    // Nothing was written; the user is told what changed meanwhile.
    QStringList changes = changedRows(read, readRiskQuestionTable(db));
    if (changes.isEmpty())
        changes << QStringLiteral("a row was changed and changed back");
    throw RiskQuestionsChanged(changes);
}

MessageRequest riskQuestionsChangedMessage(const RiskQuestionsChanged& changed)
{
    return {QStringLiteral("The risk questions were not saved: another window or program changed them since this "
                           "window read them.\n\n") +
                changed.changes().join(QLatin1Char('\n')) +
                QStringLiteral("\n\nShow the questions as they are stored now? Your changes are then discarded.\n"
                               "No keeps your changes in the boxes; saving again then stores them over the other "
                               "change."),
            QStringLiteral("Error!"), MsgIcon::Exclamation, MsgButtons::YesNo, MsgAnswer::Yes};
}

QString hiddenRiskRowsNote(const QStringList& hiddenRows)
{
    if (hiddenRows.isEmpty())
        return {};
    return QStringLiteral("The questions also hold rows this window cannot show; they are kept as they are: %1.")
        .arg(hiddenRows.join(QStringLiteral("; ")));
}

MessageRequest riskQuestionSaveErrorMessage(const DbError& error)
{
    const QString number = error.code().isEmpty() ? QStringLiteral("0") : error.code();
    return {QStringLiteral("Err #") + number + QStringLiteral(" - ") + error.message(), QStringLiteral("Error!"),
            MsgIcon::Exclamation, MsgButtons::Ok, MsgAnswer::Ok};
}

} // namespace kolva
