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

} // namespace

RiskQuestions readRiskQuestions(Database& db)
{
    RiskQuestions questions;
    QSqlQuery query = db.query(QStringLiteral("SELECT Risk_Question_Num,Risk_Order,Description FROM Risk_Rating"));
    while (query.next()) {
        bool numberOk = false, orderOk = false;
        const int number = query.value(0).toInt(&numberOk);
        const int order = query.value(1).toInt(&orderOk);
        if (!numberOk || !orderOk || number < 1 || number > RiskQuestionCount || order < -1 ||
            order >= RiskResponseCount)
            continue;
        const QString text = withoutSavedBlank(query.value(2).toString());
        if (order == -1)
            questions.titles[size_t(number - 1)] = text;
        else
            questions.responses[size_t(number - 1)][size_t(order)] = text;
    }
    return questions;
}

void writeRiskQuestions(Database& db, const RiskQuestions& questions)
{
    Transaction transaction(db);
    db.exec(QStringLiteral("DELETE FROM Risk_Rating"));
    QSqlQuery insert =
        db.prepare(QStringLiteral("INSERT INTO Risk_Rating (Risk_Question_Num,Risk_Order,Description) VALUES (?,?,?)"));
    const auto add = [&insert](int number, int order, const QString& text) {
        insert.bindValue(0, number);
        insert.bindValue(1, order);
        insert.bindValue(2, text + QLatin1Char(' '));
        Database::run(insert);
    };
    for (int q = 0; q < RiskQuestionCount; ++q) {
        add(q + 1, -1, questions.titles[size_t(q)]);
        for (int r = 0; r < RiskResponseCount; ++r) {
            const QString& response = questions.responses[size_t(q)][size_t(r)];
            if (!response.trimmed().isEmpty())
                add(q + 1, r, response);
        }
    }
    insert.finish();
    transaction.commit();
}

MessageRequest riskQuestionSaveErrorMessage(const DbError& error)
{
    const QString number = error.code().isEmpty() ? QStringLiteral("0") : error.code();
    return {QStringLiteral("Err #") + number + QStringLiteral(" - ") + error.message(), QStringLiteral("Error!"),
            MsgIcon::Exclamation, MsgButtons::Ok, MsgAnswer::Ok};
}

} // namespace kolva
