#include "tests/support/serverdatabase.h"

#include "store/kolvadb.h"

#include <QCoreApplication>
#include <QUrl>
#include <QUrlQuery>

namespace kolva::test {

namespace {

QString serverUri()
{
    return qEnvironmentVariable("KOLVA_TEST_PG_URI");
}

QString uriOf(const QString& name)
{
    QUrl url(serverUri());
    url.setPath(QLatin1Char('/') + name);
    return url.toString();
}

QString templateName()
{
    return QStringLiteral("kolva_tpl_%1").arg(QCoreApplication::applicationPid());
}

void dropTemplate()
{
    try {
        auto admin = Database::openServer(parseDatabaseTarget(serverUri()));
        admin->exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(templateName()));
    } catch (const DbError& error) {
        qWarning("template database not dropped: %s", qPrintable(error.message()));
    }
}

// The KOLVA database every Kolva test database is copied from, made by the
// program's own first start on an empty database.
void makeTemplate(Database& admin)
{
    static bool made = false;
    if (made)
        return;
    const QString name = templateName();
    admin.exec(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(name));
    admin.exec(QStringLiteral("CREATE DATABASE %1").arg(name));
    openKolvaDatabase(uriOf(name)).reset();
    made = true;
    qAddPostRoutine(dropTemplate);
}

} // namespace

bool ServerTestDatabase::available()
{
    return !serverUri().isEmpty();
}

bool onServer()
{
    return qEnvironmentVariable("KOLVA_TEST_ENGINE") == QLatin1String("postgresql");
}

ServerTestDatabase::ServerTestDatabase(Content content)
{
    if (!available())
        throw DbError(QStringLiteral("KOLVA_TEST_PG_URI is not set: the test server did not start"));
    static int counter = 0;
    admin_ = Database::openServer(parseDatabaseTarget(serverUri()));
    name_ = QStringLiteral("kolva_t%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    admin_->exec(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(name_));
    if (content == Content::Kolva) {
        makeTemplate(*admin_);
        admin_->exec(QStringLiteral("CREATE DATABASE %1 TEMPLATE %2 STRATEGY FILE_COPY").arg(name_, templateName()));
    } else {
        admin_->exec(QStringLiteral("CREATE DATABASE %1").arg(name_));
    }
    uri_ = uriOf(name_);
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
