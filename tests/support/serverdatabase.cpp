#include "tests/support/serverdatabase.h"

#include <QCoreApplication>
#include <QUrl>
#include <QUrlQuery>

namespace kolva::test {

namespace {

QString serverUri()
{
    return qEnvironmentVariable("KOLVA_TEST_PG_URI");
}

} // namespace

bool ServerTestDatabase::available()
{
    return !serverUri().isEmpty();
}

ServerTestDatabase::ServerTestDatabase()
{
    if (!available())
        throw DbError(QStringLiteral("KOLVA_TEST_PG_URI is not set: the test server did not start"));
    static int counter = 0;
    admin_ = Database::openServer(parseDatabaseTarget(serverUri()));
    name_ = QStringLiteral("kolva_t%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    admin_->exec(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(name_));
    admin_->exec(QStringLiteral("CREATE DATABASE %1").arg(name_));
    QUrl url(serverUri());
    url.setPath(QLatin1Char('/') + name_);
    uri_ = url.toString();
}

QString ServerTestDatabase::uriFor(const QString& user) const
{
    QUrl url(uri_);
    QUrlQuery query(url);
    query.removeAllQueryItems(QStringLiteral("user"));
    query.addQueryItem(QStringLiteral("user"), user);
    url.setQuery(query);
    return url.toString();
}

void ServerTestDatabase::giveTo(const QString& role)
{
    admin_->exec(QStringLiteral("ALTER DATABASE %1 OWNER TO %2").arg(name_, role));
}

void ServerTestDatabase::runAsOwner(const QString& sql)
{
    Database::openServer(parseDatabaseTarget(uri_))->execScript(sql);
}

ServerTestDatabase::~ServerTestDatabase()
{
    try {
        admin_->exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name_));
    } catch (const DbError& error) {
        qWarning("test database %s not dropped: %s", qPrintable(name_), qPrintable(error.message()));
    }
}

} // namespace kolva::test
