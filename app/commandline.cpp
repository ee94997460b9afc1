#include "app/commandline.h"

#include "app/startup.h"
#include "platform/progress.h"
#include "store/conversion.h"
#include "store/kolvadb.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace kolva {

namespace {

const char* const generalHelp = R"(Usage: kolva [--database FILE]
       kolva COMMAND [options] [arguments]

Without a command, KOLVA starts its windows on the database beside the
program (or on FILE).

Commands (kolva COMMAND --help tells more of each):
  convert    convert a KOLVA.MDB of an earlier version (an Access file)
             into a KOLVA database

Options:
  --database FILE   work on FILE instead of KOLVA.MDB beside the program
  -h, --help        show this help
)";

const char* const convertHelp = R"(Usage: kolva convert [ACCESS.MDB [NEW.MDB]] [--database FILE]

Converts a KOLVA.MDB of an earlier version of KOLVA (a Microsoft Access
database) into a KOLVA database. The Access file is only read. Every table of
KOLVA's data is copied with every row and checked before anything is renamed.

Without NEW.MDB the new database takes the Access file's place and the Access
file is kept beside it as NAME.access-YYYYMMDD (a number is added when that
name is taken). With NEW.MDB the new database is written there (a file that
exists is never replaced) and the Access file stays as it is. Without
ACCESS.MDB the database given by --database, or KOLVA.MDB beside the program,
is converted.

The count of each table is printed and written to NEW.MDB.conversion.log
beside the new database. On any failure nothing is changed and the reason is
printed on standard error; the exit status is then 1.

Examples:
  kolva convert
  kolva convert /srv/kolva/KOLVA.MDB
  kolva convert old/KOLVA.MDB /srv/kolva/KOLVA.MDB

Options:
  --database FILE   the database to convert when ACCESS.MDB is not given
  -h, --help        show this help
)";

void out(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

void err(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

int usageError(const QString& what, const QString& command = {})
{
    err(QStringLiteral("kolva: %1\nTry \"kolva %2--help\".\n").arg(what, command.isEmpty() ? QString() : command + ' '));
    return 2;
}

QCommandLineOption databaseOption()
{
    return QCommandLineOption(QStringList{QStringLiteral("database")}, QStringLiteral("The database."),
                              QStringLiteral("FILE"));
}

int convertCommand(const QStringList& arguments, const QString& programDir)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption database = databaseOption();
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Help."));
    parser.addOption(database);
    parser.addOption(help);
    if (!parser.parse(arguments))
        return usageError(parser.errorText(), QStringLiteral("convert"));
    if (parser.isSet(help)) {
        out(QString::fromUtf8(convertHelp));
        return 0;
    }
    const QStringList paths = parser.positionalArguments().mid(1);
    if (paths.size() > 2)
        return usageError(QStringLiteral("convert takes at most two files: ACCESS.MDB and NEW.MDB"),
                          QStringLiteral("convert"));

    ConversionRequest request;
    request.accessPath = !paths.isEmpty()          ? paths[0]
                         : parser.isSet(database) ? parser.value(database)
                                                  : databasePath(programDir);
    request.targetPath = paths.size() > 1 ? paths[1] : QString();
    request.now = QDateTime::currentDateTime();
    request.user = currentUserName();
    StreamProgress progress(stderr);
    try {
        const ConversionResult result = convertAccessDatabase(request, progress);
        out(result.summary() + QLatin1Char('\n'));
        return 0;
    } catch (const ConversionFailed& failed) {
        err(failed.message() + QLatin1Char('\n'));
    } catch (const std::exception& other) {
        err(QString::fromLocal8Bit(other.what()) + QLatin1Char('\n'));
    }
    return 1;
}

// The options that take a value: ours and the window system's own.
bool takesValue(const QString& option)
{
    static const QStringList names = {
        QStringLiteral("database"),   QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"), QStringLiteral("plugin"),       QStringLiteral("style"),
        QStringLiteral("stylesheet"), QStringLiteral("session"),         QStringLiteral("display"),
        QStringLiteral("geometry"),   QStringLiteral("title"),           QStringLiteral("name"),
        QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"), QStringLiteral("qwindowtitle"),
    };
    QString name = option;
    while (name.startsWith(QLatin1Char('-')))
        name.remove(0, 1);
    return !name.contains(QLatin1Char('=')) && names.contains(name);
}

// The first argument that is neither an option nor an option's value.
QString commandOf(const QStringList& arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a.startsWith(QLatin1Char('-'))) {
            if (takesValue(a))
                ++i;
            continue;
        }
        return a;
    }
    return {};
}

} // namespace

int runCommand(const QStringList& arguments, const QString& programDir)
{
    const QString command = commandOf(arguments);
    if (command == QLatin1String("convert"))
        return convertCommand(arguments, programDir);
    return usageError(QStringLiteral("unknown command \"%1\"; the commands are: convert").arg(command));
}

int parseWindowOptions(const QStringList& arguments, QString& database)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption option = databaseOption();
    parser.addOption(option);
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unknown command \"%1\"; the commands are: convert")
                              .arg(parser.positionalArguments().first()));
    database = parser.value(option);
    return -1;
}

int runKolvaMain(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (!commandOf(arguments).isEmpty()) {
        // A command needs no display: a core application only.
        QCoreApplication app(argc, argv);
        return runCommand(QCoreApplication::arguments(), QCoreApplication::applicationDirPath());
    }
    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
        out(QString::fromUtf8(generalHelp));
        return 0;
    }
    return runKolva(argc, argv);
}

} // namespace kolva
