#pragma once
// Survey records put straight into a test database, and what they hold.

#include "store/database.h"

#include <QStringList>
#include <QVariant>

#include <map>
#include <ostream>

// Readable texts in test failures.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '{';
    for (qsizetype i = 0; i < list.size(); ++i)
        *os << (i ? ", \"" : "\"") << list.at(i).toStdString() << '"';
    *os << '}';
}

namespace kolva::test {

using Fields = std::map<QString, QVariant>;

// Adds a survey record: a red maple on ELM ST unless the fields say otherwise.
inline qint64 addTree(Database& db, const Fields& fields = {})
{
    Fields values = {
        {"Surveyor", "J SMITH"},      {"Date_Evaluated", "2009-05-12 14:20:00"},
        {"RiskZone", "RESIDENTIAL"},  {"StreetNum", "12"},
        {"StreetName", "ELM ST"},     {"Tree_ID", 12},
        {"Species", "Red Maple"},     {"DBH", 14},
        {"Hazard_Rating", 5},         {"CorrectiveActions", ""},
    };
    for (const auto& [name, value] : fields)
        values[name] = value;
    QStringList names, marks;
    QVariantList bound;
    for (const auto& [name, value] : values) {
        names << name;
        marks << "?";
        bound << value;
    }
    db.exec(QStringLiteral("INSERT INTO _Archived_SurveyData (%1) VALUES (%2)").arg(names.join(','), marks.join(',')),
            bound);
    return db.lastInsertId();
}

inline QVariant stored(Database& db, qint64 id, const QString& column)
{
    return db.scalar(QStringLiteral("SELECT %1 FROM _Archived_SurveyData WHERE ID=?").arg(column), {id});
}

inline int surveyCount(Database& db)
{
    return db.scalar("SELECT COUNT(*) FROM _Archived_SurveyData").toInt();
}

// Replaces the risk questions: rows of (question, order, text).
struct RiskRow {
    int question;
    int order;
    QString text;
};
inline void setRiskRows(Database& db, const std::vector<RiskRow>& rows)
{
    db.exec("DELETE FROM Risk_Rating");
    for (const RiskRow& row : rows)
        db.exec("INSERT INTO Risk_Rating (Risk_Question_Num,Risk_Order,Description) VALUES (?,?,?)",
                {row.question, row.order, row.text});
}

// Every row of Risk_Rating as "question|order|text", sorted.
inline QStringList riskRows(Database& db)
{
    QStringList rows;
    QSqlQuery q = db.query("SELECT Risk_Question_Num,Risk_Order,Description FROM Risk_Rating");
    while (q.next())
        rows << QStringLiteral("%1|%2|%3").arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString());
    rows.sort();
    return rows;
}

} // namespace kolva::test
