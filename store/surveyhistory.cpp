#include "store/surveyhistory.h"

#include "store/database.h"
#include "store/dates.h"
#include "store/surveycolumns.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace kolva {

namespace {

const QString InsertHistory = QStringLiteral(
    "INSERT INTO _Survey_History (Survey_ID,Action,Field,Old_Value,New_Value,Changed_At,Changed_By) "
    "VALUES (?,?,?,?,?,?,?)");

QString exactText(const QVariant& value)
{
    if (value.isNull())
        return QStringLiteral("null");
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return QString::number(value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    default:
        break;
    }
    // A text: JSON's quoting, so that line ends and quotes stay readable and exact.
    const QByteArray json = QJsonDocument(QJsonArray{value.toString()}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

std::vector<HistoryEntry> readEntries(QSqlQuery& query)
{
    std::vector<HistoryEntry> entries;
    while (query.next()) {
        HistoryEntry e;
        e.id = query.value(0).toLongLong();
        e.surveyId = query.value(1).toLongLong();
        e.action = query.value(2).toString();
        e.field = query.value(3).toString();
        e.oldValue = query.value(4);
        e.newValue = query.value(5);
        e.changedAt = fromDbDateTime(query.value(6));
        e.changedBy = query.value(7).toString();
        entries.push_back(std::move(e));
    }
    return entries;
}

} // namespace

QString operatingSystemUser()
{
#ifdef Q_OS_UNIX
    // The account the program runs as, whatever the environment says.
    if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_name && *entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
#endif
    for (const char* name : {"USER", "USERNAME", "LOGNAME"}) {
        const QString user = qEnvironmentVariable(name).trimmed();
        if (!user.isEmpty())
            return user;
    }
    return QStringLiteral("unknown");
}

void recordFieldChanges(Database& db, qint64 surveyId, const std::vector<FieldChange>& changes,
                        const HistoryStamp& stamp)
{
    if (changes.empty())
        return;
    QSqlQuery insert = db.prepare(InsertHistory);
    const QString when = toDbDateTime(stamp.when);
    for (const FieldChange& change : changes) {
        insert.bindValue(0, surveyId);
        insert.bindValue(1, QStringLiteral("changed"));
        insert.bindValue(2, change.field);
        insert.bindValue(3, change.oldValue);
        insert.bindValue(4, change.newValue);
        insert.bindValue(5, when);
        insert.bindValue(6, stamp.who);
        Database::run(insert);
    }
    insert.finish();
}

void recordImport(Database& db, qint64 surveyId, const HistoryStamp& stamp)
{
    db.exec(InsertHistory, {surveyId, QStringLiteral("imported"), QVariant(QMetaType::fromType<QString>()),
                            QVariant(QMetaType::fromType<QString>()), QVariant(QMetaType::fromType<QString>()),
                            toDbDateTime(stamp.when), stamp.who});
}

void recordDeletion(Database& db, qint64 surveyId, const QString& wholeRecord, const HistoryStamp& stamp)
{
    db.exec(InsertHistory, {surveyId, QStringLiteral("deleted"), QVariant(QMetaType::fromType<QString>()),
                            wholeRecord, QVariant(QMetaType::fromType<QString>()), toDbDateTime(stamp.when),
                            stamp.who});
}

QString readableRecord(const std::vector<std::pair<QString, QVariant>>& fields)
{
    QStringList lines;
    for (const auto& [name, value] : fields)
        lines << name + QStringLiteral(": ") + exactText(value);
    return lines.join(QLatin1Char('\n'));
}

QString readableSurveyRecord(Database& db, qint64 surveyId)
{
    // The names as the table was made with them (the server gives them in
    // lower case).
    const QStringList names = QStringList{QStringLiteral("ID")} + surveyColumnNames(surveyColumns());
    QSqlQuery query = db.query(
        QStringLiteral("SELECT %1 FROM _Archived_SurveyData WHERE ID=?").arg(names.join(QLatin1Char(','))), {surveyId});
    if (!query.next())
        return {};
    std::vector<std::pair<QString, QVariant>> fields;
    for (int i = 0; i < names.size(); ++i)
        fields.emplace_back(names.at(i), query.value(i));
    return readableRecord(fields);
}

std::vector<HistoryEntry> readSurveyHistory(Database& db, qint64 surveyId)
{
    QSqlQuery query = db.query(QStringLiteral("SELECT ID,Survey_ID,Action,Field,Old_Value,New_Value,Changed_At,"
                                              "Changed_By FROM _Survey_History WHERE Survey_ID=? ORDER BY ID"),
                               {surveyId});
    return readEntries(query);
}

std::vector<HistoryEntry> readDeletedRecords(Database& db)
{
    QSqlQuery query = db.query(QStringLiteral("SELECT ID,Survey_ID,Action,Field,Old_Value,New_Value,Changed_At,"
                                              "Changed_By FROM _Survey_History WHERE Action='deleted' ORDER BY ID DESC"));
    return readEntries(query);
}

} // namespace kolva
