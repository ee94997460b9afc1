#include "store/heldcursor.h"

#include "store/database.h"

#include <QAtomicInteger>
#include <QSqlDriver>
#include <QSqlField>
#include <QSqlRecord>

namespace kolva {

namespace {

// Rows fetched from the server at a time.
constexpr int BatchRows = 1000;

QString nextCursorName()
{
    static QAtomicInteger<int> counter;
    return QStringLiteral("kolva_held_%1").arg(counter.fetchAndAddRelaxed(1));
}

// The statement with each "?" outside quotes replaced by its value as the
// driver writes a literal (a server cursor's statement takes no bound values).
QString withValues(const Database& db, const QString& sql, const QVariantList& values)
{
    const QSqlDriver* driver = db.connection().driver();
    QString result;
    result.reserve(sql.size());
    qsizetype next = 0;
    QChar quote;
    for (const QChar c : sql) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('?')) {
            if (next >= values.size())
                throw DbError(QStringLiteral("a value is missing for the statement"), sql);
            const QVariant& value = values.at(next++);
            QSqlField field(QString(), value.metaType());
            field.setValue(value);
            result += driver->formatValue(field);
            continue;
        }
        result += c;
    }
    if (next != values.size())
        throw DbError(QStringLiteral("more values than the statement takes"), sql);
    return result;
}

} // namespace

HeldCursor::HeldCursor(Database& db, const QString& sql, const QVariantList& values, Reads reads) : db_(db)
{
    if (!db.isServer()) {
        query_ = db.query(sql, values);
        return;
    }
    name_ = nextCursorName();
    const QString statement = withValues(db, sql, values);
    if (reads == Reads::ConnectionsOwnTables) {
        // WITH HOLD: the cursor outlives the transaction it is made in
        // (outside one, the statement's own), holding the rows the statement
        // gave.
        db.exec(QStringLiteral("DECLARE %1 NO SCROLL CURSOR WITH HOLD FOR %2").arg(name_, statement));
        open_ = true;
        return;
    }
    own_ = Database::open(db.path());
    reading_.emplace(*own_, Transaction::Kind::ReadOnly);
    own_->exec(QStringLiteral("DECLARE %1 NO SCROLL CURSOR FOR %2").arg(name_, statement));
    open_ = true;
}

HeldCursor::~HeldCursor()
{
    try {
        finish();
    } catch (const DbError& error) {
        qWarning("a cursor of the server was not closed: %s", qPrintable(error.message()));
    }
}

void HeldCursor::fetch()
{
    QSqlQuery rows = cursorDb().query(QStringLiteral("FETCH FORWARD %1 FROM %2").arg(BatchRows).arg(name_));
    int read = 0;
    while (rows.next()) {
        const int columns = rows.record().count();
        std::vector<QVariant> row;
        row.reserve(size_t(columns));
        for (int c = 0; c < columns; ++c)
            row.push_back(rows.value(c));
        batch_.push_back(std::move(row));
        ++read;
    }
    rows.finish();
    if (read < BatchRows)
        exhausted_ = true;
}

bool HeldCursor::next()
{
    if (!db_.isServer())
        return query_.next();
    if (batch_.empty() && open_ && !exhausted_)
        fetch();
    if (batch_.empty()) {
        row_.clear();
        return false;
    }
    row_ = std::move(batch_.front());
    batch_.pop_front();
    return true;
}

QVariant HeldCursor::value(int column) const
{
    if (!db_.isServer())
        return query_.value(column);
    return column >= 0 && size_t(column) < row_.size() ? row_[size_t(column)] : QVariant();
}

void HeldCursor::finish()
{
    if (!db_.isServer()) {
        query_.finish();
        return;
    }
    batch_.clear();
    row_.clear();
    if (!open_)
        return;
    open_ = false;
    if (own_) {
        // The transaction ends with the cursor, and the connection with it.
        reading_->commit();
        reading_.reset();
        own_.reset();
        return;
    }
    db_.exec(QStringLiteral("CLOSE %1").arg(name_));
}

} // namespace kolva
