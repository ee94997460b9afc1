#include "store/databasetarget.h"

#include <QUrl>
#include <QUrlQuery>

namespace kolva {

namespace {

const QString PasswordPlaces = QStringLiteral(
    "Give the password in ~/.pgpass, in the file the environment variable PGPASSFILE names, or in a "
    "PostgreSQL service file, never in the address.");

// The URI with its user information cut to the user name, for a message
// about a URI that must not be repeated whole.
QString withoutSecrets(const QString& given)
{
    const int schemeEnd = given.indexOf(QStringLiteral("://"));
    if (schemeEnd < 0)
        return given;
    const int authorityStart = schemeEnd + 3;
    int authorityEnd = given.indexOf(QLatin1Char('/'), authorityStart);
    if (authorityEnd < 0)
        authorityEnd = given.size();
    const int at = given.lastIndexOf(QLatin1Char('@'), authorityEnd - 1);
    QString shown = given;
    if (at >= authorityStart) {
        const int colon = given.indexOf(QLatin1Char(':'), authorityStart);
        if (colon >= 0 && colon < at)
            shown = given.left(colon) + given.mid(at);
    }
    const int queryStart = shown.indexOf(QLatin1Char('?'));
    return queryStart < 0 ? shown : shown.left(queryStart);
}

[[noreturn]] void refuse(const QString& given, const QString& why)
{
    throw InputError(QStringLiteral("The database %1 cannot be used: %2").arg(withoutSecrets(given), why));
}

} // namespace

QString passwordPlaces()
{
    return PasswordPlaces;
}

bool isServerDatabaseUri(const QString& given)
{
    return given.startsWith(QStringLiteral("postgresql://"), Qt::CaseInsensitive)
        || given.startsWith(QStringLiteral("postgres://"), Qt::CaseInsensitive);
}

DatabaseTarget parseDatabaseTarget(const QString& given)
{
    DatabaseTarget target;
    if (!isServerDatabaseUri(given)) {
        target.engine = DatabaseTarget::Engine::SQLite;
        target.path = given;
        return target;
    }
    target.engine = DatabaseTarget::Engine::PostgreSQL;

    // Looked at before the URI is read, so that no reading of it can echo a
    // password back.
    const int authorityStart = given.indexOf(QStringLiteral("://")) + 3;
    int authorityEnd = given.indexOf(QLatin1Char('/'), authorityStart);
    const int queryStart = given.indexOf(QLatin1Char('?'), authorityStart);
    if (authorityEnd < 0 || (queryStart >= 0 && queryStart < authorityEnd))
        authorityEnd = queryStart < 0 ? given.size() : queryStart;
    const QString authority = given.mid(authorityStart, authorityEnd - authorityStart);
    const int at = authority.lastIndexOf(QLatin1Char('@'));
    if (at >= 0 && authority.left(at).contains(QLatin1Char(':')))
        refuse(given, QStringLiteral("its address carries a password. ") + PasswordPlaces);

    const QUrl url(given, QUrl::StrictMode);
    if (!url.isValid())
        refuse(given, QStringLiteral("it is not a PostgreSQL address such as postgresql://user@host:5432/dbname."));

    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key.compare(QStringLiteral("password"), Qt::CaseInsensitive) == 0)
            refuse(given, QStringLiteral("its address carries a password. ") + PasswordPlaces);
        if (key.isEmpty() || key.contains(QLatin1Char(' ')) || value.contains(QLatin1Char(';')))
            refuse(given, QStringLiteral("its parameter \"%1\" cannot be read.").arg(key));
        target.options.append({key, value});
    }

    target.user = url.userName(QUrl::FullyDecoded);
    target.host = url.host(QUrl::FullyDecoded);
    if (target.host.isEmpty() && given.mid(authorityStart, authorityEnd - authorityStart).contains(QLatin1Char('%')))
        target.host = QUrl::fromPercentEncoding(authority.mid(at + 1).toUtf8());
    target.port = url.port(-1);
    QString path = url.path(QUrl::FullyDecoded);
    if (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    if (path.contains(QLatin1Char('/')))
        refuse(given, QStringLiteral("\"%1\" is not a database name.").arg(path));
    target.dbname = path;
    return target;
}

QString DatabaseTarget::displayName() const
{
    if (!isServer())
        return path;
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    url.setUserName(user);
    url.setHost(host.startsWith(QLatin1Char('/')) ? QString() : host);
    url.setPort(port);
    url.setPath(QLatin1Char('/') + dbname);
    QUrlQuery query;
    if (host.startsWith(QLatin1Char('/')))
        query.addQueryItem(QStringLiteral("host"), host);
    for (const auto& [key, value] : options)
        query.addQueryItem(key, value);
    if (!query.isEmpty())
        url.setQuery(query);
    QString shown = url.toString(QUrl::FullyEncoded);
    // QUrl drops the empty authority of a local socket URI.
    if (url.authority().isEmpty() && !shown.startsWith(QStringLiteral("postgresql://")))
        shown.replace(0, QStringLiteral("postgresql:").size(), QStringLiteral("postgresql://"));
    return shown;
}

QString DatabaseTarget::connectOptions() const
{
    QStringList parts;
    for (const auto& [key, value] : options)
        parts << key + QLatin1Char('=') + value;
    return parts.join(QLatin1Char(';'));
}

} // namespace kolva
