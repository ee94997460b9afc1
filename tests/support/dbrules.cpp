#include "tests/support/dbrules.h"

#include <QSqlQuery>

namespace kolva::test {

namespace {

QString quoted(QString text)
{
    return QLatin1Char('\'') + text.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

QString functionOf(const QString& name)
{
    return name + QStringLiteral("_refusal");
}

} // namespace

void refuseWrites(Database& db, const QString& name, Write write, const QString& table, const QString& message,
                  const QString& when)
{
    const QString event = write == Write::Insert ? QStringLiteral("INSERT") : QStringLiteral("UPDATE");
    if (!db.isServer()) {
        db.exec(QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3 %4BEGIN SELECT RAISE(ABORT, %5); END")
                    .arg(name, event, table, when.isEmpty() ? QString() : QStringLiteral("WHEN %1 ").arg(when),
                         quoted(message)));
        return;
    }
    db.exec(QStringLiteral("CREATE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql AS "
                           "$refusal$BEGIN RAISE EXCEPTION USING MESSAGE = %2; END$refusal$")
                .arg(functionOf(name), quoted(message)));
    db.exec(QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3 FOR EACH ROW %4EXECUTE FUNCTION %5()")
                .arg(name, event, table, when.isEmpty() ? QString() : QStringLiteral("WHEN (%1) ").arg(when),
                     functionOf(name)));
}

void allowWrites(Database& db, const QString& name, const QString& table)
{
    if (!db.isServer()) {
        db.exec(QStringLiteral("DROP TRIGGER %1").arg(name));
        return;
    }
    db.exec(QStringLiteral("DROP TRIGGER %1 ON %2").arg(name, table));
    db.exec(QStringLiteral("DROP FUNCTION %1()").arg(functionOf(name)));
}

DatabaseHeld::DatabaseHeld(const QString& databasePath) : other_(Database::open(databasePath, 0))
{
    if (!other_->isServer()) {
        other_->exec(QStringLiteral("BEGIN EXCLUSIVE"));
    } else {
        // Every table, against readers too.
        const QString tables =
            other_->scalar(QStringLiteral("SELECT string_agg(quote_ident(tablename), ',') FROM pg_tables "
                                          "WHERE schemaname = current_schema()"))
                .toString();
        other_->exec(QStringLiteral("BEGIN"));
        other_->exec(QStringLiteral("LOCK TABLE %1 IN ACCESS EXCLUSIVE MODE").arg(tables));
    }
    held_ = true;
}

DatabaseHeld::~DatabaseHeld()
{
    if (!held_)
        return;
    try {
        release();
    } catch (const DbError& error) {
        qWarning("the database was not let go: %s", qPrintable(error.message()));
    }
}

void DatabaseHeld::release()
{
    other_->exec(QStringLiteral("ROLLBACK"));
    held_ = false;
}

void setReadOnly(Database& db, bool readOnly)
{
    if (!db.isServer())
        db.exec(QStringLiteral("PRAGMA query_only = %1").arg(readOnly ? 1 : 0));
    else
        db.exec(QStringLiteral("SET default_transaction_read_only = %1").arg(readOnly ? "on" : "off"));
}

} // namespace kolva::test
