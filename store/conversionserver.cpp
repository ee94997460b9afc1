#include "store/conversionserver.h"

#include <algorithm>

namespace kolva {

namespace {

// Every table the numbered steps make, and the cost summary's work table.
// A later step that adds a table adds it here.
const QStringList& kolvaTableNames()
{
    static const QStringList names = {
        QStringLiteral("_archived_surveydata"), QStringLiteral("surveyors"),        QStringLiteral("species"),
        QStringLiteral("riskzone"),             QStringLiteral("risk_rating"),      QStringLiteral("_streets_master"),
        QStringLiteral("streets_pda"),          QStringLiteral("_tblcorraction"),   QStringLiteral("_tblcosts"),
        QStringLiteral("_survey_history"),      QStringLiteral("_imported_files"),  QStringLiteral("_tblmobilization"),
        QStringLiteral("_schema_version"),      QStringLiteral("_tmp_cost_report"),
    };
    return names;
}

// The statement's table must be one of ours: it cannot be bound.
void checkIdentifier(const QString& name)
{
    if (!isPlainIdentifier(name))
        throw DbError(QStringLiteral("not a table or column name: %1").arg(name));
}

} // namespace

QList<TableColumn> tableColumns(Database& db, const QString& table)
{
    QList<TableColumn> columns;
    if (db.isServer()) {
        QSqlQuery q = db.query(QStringLiteral("SELECT column_name, data_type FROM information_schema.columns "
                                              "WHERE table_schema = current_schema() AND table_name = lower(?) "
                                              "ORDER BY ordinal_position"),
                               {table});
        while (q.next()) {
            TableColumn column;
            column.name = q.value(0).toString();
            const QString type = q.value(1).toString();
            if (type == QLatin1String("smallint") || type == QLatin1String("integer") || type == QLatin1String("bigint"))
                column.type = ColumnType::Integer;
            else if (type == QLatin1String("double precision") || type == QLatin1String("real")
                     || type == QLatin1String("numeric"))
                column.type = ColumnType::Real;
            else if (type == QLatin1String("bytea"))
                column.type = ColumnType::Bytes;
            columns.append(column);
        }
        return columns;
    }
    QSqlQuery q = db.query(QStringLiteral("SELECT name, type FROM pragma_table_info(?) ORDER BY cid"), {table});
    while (q.next()) {
        TableColumn column;
        column.name = q.value(0).toString();
        const QString type = q.value(1).toString().toUpper();
        if (type == QLatin1String("INTEGER"))
            column.type = ColumnType::Integer;
        else if (type == QLatin1String("REAL"))
            column.type = ColumnType::Real;
        else if (type == QLatin1String("BLOB"))
            column.type = ColumnType::Bytes;
        columns.append(column);
    }
    return columns;
}

QString writtenOrder(Database& db)
{
    // The server lays out the rows of one transaction as they come, in a
    // table none but that transaction has written since it was emptied.
    return db.isServer() ? QStringLiteral("ctid") : QStringLiteral("rowid");
}

QStringList fileTableNames(Database& file)
{
    QStringList names;
    QSqlQuery q = file.query(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                                            "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name"));
    while (q.next())
        names << q.value(0).toString();
    return names;
}

QStringList kolvaTablesPresent(Database& db)
{
    QStringList present;
    QSqlQuery q = db.isServer()
                      ? db.query(QStringLiteral("SELECT table_name FROM information_schema.tables "
                                                "WHERE table_schema = current_schema() ORDER BY table_name"))
                      : db.query(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"));
    while (q.next()) {
        const QString name = q.value(0).toString();
        if (kolvaTableNames().contains(name.toLower()))
            present << name;
    }
    return present;
}

QHash<QString, qint64> highestKeysGiven(Database& file)
{
    QHash<QString, qint64> keys;
    if (!file.tableExists(QStringLiteral("sqlite_sequence")))
        return keys;
    QSqlQuery q = file.query(QStringLiteral("SELECT name, seq FROM sqlite_sequence"));
    while (q.next())
        keys.insert(q.value(0).toString().toLower(), q.value(1).toLongLong());
    return keys;
}

void setKeySequences(Database& server, const QHash<QString, qint64>& floors)
{
    QList<std::pair<QString, QString>> numbered;
    {
        QSqlQuery q = server.query(QStringLiteral("SELECT table_name, column_name FROM information_schema.columns "
                                                  "WHERE table_schema = current_schema() AND is_identity = 'YES' "
                                                  "ORDER BY table_name"));
        while (q.next())
            numbered.append({q.value(0).toString(), q.value(1).toString()});
    }
    for (const auto& [table, column] : numbered) {
        checkIdentifier(table);
        checkIdentifier(column);
        // The next key given out is the one after the highest, never one a
        // deleted row had.
        server.scalar(QStringLiteral("SELECT setval(pg_get_serial_sequence(?, ?), GREATEST(COALESCE(MAX(%2), 0), ?) + 1, "
                                     "false) FROM %1")
                          .arg(table, column),
                      {table, column, floors.value(table.toLower(), 0)});
    }
}

BatchInsert::BatchInsert(Database& db, const QString& table, const QStringList& columns)
    : db_(db), table_(table), columns_(columns)
{
    checkIdentifier(table);
    for (const QString& column : columns)
        checkIdentifier(column);
    // A few hundred rows a statement, well inside the server's limit of
    // values a statement may bind.
    if (db.isServer() && !columns.isEmpty())
        rowsPerStatement_ = std::clamp(int(16000 / columns.size()), 1, 250);
}

QString BatchInsert::statement(int rows) const
{
    QStringList marks(columns_.size(), QStringLiteral("?"));
    const QString row = QLatin1Char('(') + marks.join(QStringLiteral(", ")) + QLatin1Char(')');
    QStringList rowsText(rows, row);
    return QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
        .arg(table_, columns_.join(QStringLiteral(", ")), rowsText.join(QStringLiteral(", ")));
}

void BatchInsert::write()
{
    if (pendingRows_ == 0)
        return;
    const auto bindAndRun = [this](QSqlQuery& query) {
        for (int i = 0; i < pending_.size(); ++i)
            query.bindValue(i, pending_.at(i));
        Database::run(query);
    };
    if (pendingRows_ == rowsPerStatement_) {
        if (!fullPrepared_) {
            full_ = db_.prepare(statement(rowsPerStatement_));
            fullPrepared_ = true;
        }
        bindAndRun(full_);
    } else {
        QSqlQuery last = db_.prepare(statement(pendingRows_));
        bindAndRun(last);
        last.finish();
    }
    written_ += pendingRows_;
    pendingRows_ = 0;
    pending_.clear();
}

void BatchInsert::add(const QVariantList& row)
{
    pending_.append(row);
    if (++pendingRows_ == rowsPerStatement_)
        write();
}

void BatchInsert::finish()
{
    write();
    if (fullPrepared_)
        full_.finish();
}

} // namespace kolva
