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
    QSqlQuery query = db.query(QStringLiteral("SELECT Risk_Question_Num,Risk_Order,Description FROM Risk_Rating"));
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
        std::optional<QVariant>& slot = table.storedTexts[size_t(number - 1)][size_t(order + 1)];
        if (slot) {
            table.hiddenRows << describeRow(number, order, text, true);
            continue;
        }
        slot = stored;
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

void writeRiskQuestions(Database& db, const RiskQuestionTable& read, const RiskQuestions& edited)
{
    if (read.questions == edited)
        return;
    Transaction transaction(db);
    QSqlQuery insert =
        db.prepare(QStringLiteral("INSERT INTO Risk_Rating (Risk_Question_Num,Risk_Order,Description) VALUES (?,?,?)"));
    QSqlQuery update = db.prepare(QStringLiteral(
        "UPDATE Risk_Rating SET Description=? WHERE Risk_Question_Num=? AND Risk_Order=? AND Description IS ?"));
    QSqlQuery remove = db.prepare(
        QStringLiteral("DELETE FROM Risk_Rating WHERE Risk_Question_Num=? AND Risk_Order=? AND Description IS ?"));
    const auto write = [&](int number, int order, const std::optional<QVariant>& stored, const QString& text,
                           bool keepBlank) {
        const bool blank = !keepBlank && text.trimmed().isEmpty();
        if (!stored) {
            if (blank)
                return;
            insert.bindValue(0, number);
            insert.bindValue(1, order);
            insert.bindValue(2, text + QLatin1Char(' '));
            Database::run(insert);
        } else if (blank) {
            remove.bindValue(0, number);
            remove.bindValue(1, order);
            remove.bindValue(2, *stored);
            Database::run(remove);
        } else {
            update.bindValue(0, text + QLatin1Char(' '));
            update.bindValue(1, number);
            update.bindValue(2, order);
            update.bindValue(3, *stored);
            Database::run(update);
        }
    };
    for (int q = 0; q < RiskQuestionCount; ++q) {
        const auto& stored = read.storedTexts[size_t(q)];
        bool changed = edited.titles[size_t(q)] != read.questions.titles[size_t(q)];
        for (int r = 0; r < RiskResponseCount; ++r) {
            const QString& before = read.questions.responses[size_t(q)][size_t(r)];
            const QString& after = edited.responses[size_t(q)][size_t(r)];
            if (before == after)
                continue;
            changed = true;
            write(q + 1, r, stored[size_t(r + 1)], after, false);
        }
        // The title row is written even when the title is empty.
        if (changed && (!stored[0] || edited.titles[size_t(q)] != read.questions.titles[size_t(q)]))
            write(q + 1, -1, stored[0], edited.titles[size_t(q)], true);
    }
    insert.finish();
    update.finish();
    remove.finish();
    transaction.commit();
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
